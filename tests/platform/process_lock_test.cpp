#include "platform/process_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace zor {
namespace {

TEST(ProcessLock, OneHolderAtATimeAndTheSameThreadMayTakeItAgain) {
  ProcessLock lock;
  ASSERT_TRUE(lock.Valid());
  int inside = 0;
  int most = 0;
  std::thread threads[4];
  for (std::thread& thread : threads) {
    thread = std::thread([&] {
      for (int i = 0; i < 20000; ++i) {
        ProcessLockHold hold(lock);
        ASSERT_TRUE(hold.Owned());
        most = std::max(most, ++inside);
        --inside;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(most, 1);
  EXPECT_EQ(inside, 0);

  // A logger's dispatch reaches appenders that log again on the same thread.
  ProcessLockHold outer(lock);
  ProcessLockHold inner(lock);
  EXPECT_TRUE(outer.Owned());
  EXPECT_TRUE(inner.Owned());
}

}  // namespace
}  // namespace zor
