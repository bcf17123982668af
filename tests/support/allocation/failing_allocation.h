// Makes an allocation fail on purpose: while an object of this class lives, the
// `nth` allocation with operator new of at least `minimumBytes` on this thread throws
// std::bad_alloc, once. Other threads allocate as usual.
//
// A program that links this replaces the global operator new and delete (over malloc
// and free, which the sanitizers still watch).
#pragma once

#include <cstddef>

class FailingAllocation {
 public:
  explicit FailingAllocation(unsigned nth, size_t minimumBytes = 1);
  ~FailingAllocation();

  // Whether the failure has happened.
  bool Struck() const;

  FailingAllocation(const FailingAllocation&) = delete;
  FailingAllocation& operator=(const FailingAllocation&) = delete;
};
