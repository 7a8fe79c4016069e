#pragma once
// One entry of a system table (native, Win32, kernel32 extras) replaced for
// the length of a scope and put back however the test ends: the one way the
// tests inject what a real machine would rarely do.
#include <type_traits>

namespace zor::test {

template <typename Entry>
class SwappedEntry {
 public:
  SwappedEntry(Entry& entry, std::type_identity_t<Entry> replacement) : entry_(entry), original_(entry) {
    entry_ = replacement;
  }
  ~SwappedEntry() { entry_ = original_; }
  SwappedEntry(const SwappedEntry&) = delete;
  SwappedEntry& operator=(const SwappedEntry&) = delete;

  // What the entry held before, for a replacement that passes calls on.
  Entry original() const { return original_; }

 private:
  Entry& entry_;
  Entry original_;
};

template <typename Entry, typename Replacement>
SwappedEntry(Entry&, Replacement) -> SwappedEntry<Entry>;

}  // namespace zor::test
