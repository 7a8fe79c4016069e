#include "platform/kernel_mutex.h"

#include <gtest/gtest.h>

#include <thread>

namespace zor {
namespace {

TEST(KernelMutex, AMutexLeftByAThreadThatEndedIsTakenOver) {
  KernelMutex mutex;
  ASSERT_EQ(mutex.Create(), status::Success);
  // The thread ends while it holds the mutex: the system marks it abandoned.
  std::thread holder([&] { EXPECT_TRUE(mutex.Lock()); });
  holder.join();
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
  EXPECT_TRUE(mutex.Lock());
  mutex.Unlock();
}

TEST(KernelMutex, OneOwnerAtATime) {
  KernelMutex mutex;
  ASSERT_EQ(mutex.Create(), status::Success);
  int inside = 0;
  int most = 0;
  std::thread threads[4];
  for (std::thread& thread : threads) {
    thread = std::thread([&] {
      for (int i = 0; i < 2000; ++i) {
        KernelMutexHold hold(mutex);
        most = std::max(most, ++inside);
        --inside;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(most, 1);
  EXPECT_EQ(inside, 0);
}

TEST(KernelMutex, WithoutAMutantNothingIsOwned) {
  KernelMutex mutex;
  EXPECT_FALSE(mutex.Valid());
  EXPECT_FALSE(mutex.Lock());
}

}  // namespace
}  // namespace zor
