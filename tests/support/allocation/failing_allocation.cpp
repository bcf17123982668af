#include "tests/support/allocation/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace {

struct Plan {
  bool armed;
  bool struck;
  unsigned left;  // matching allocations still to let through
  size_t minimumBytes;
};
// Constant-initialised: reading it allocates nothing.
thread_local Plan t_plan = {false, false, 0, 0};

void* Allocate(size_t size) {
  if (t_plan.armed && !t_plan.struck && size >= t_plan.minimumBytes) {
    if (t_plan.left == 0) {
      t_plan.struck = true;
      throw std::bad_alloc();
    }
    --t_plan.left;
  }
  void* memory = std::malloc(size ? size : 1);
  if (!memory) throw std::bad_alloc();
  return memory;
}

}  // namespace

FailingAllocation::FailingAllocation(unsigned nth, size_t minimumBytes) {
  t_plan = {true, false, nth > 0 ? nth - 1 : 0, minimumBytes};
}

FailingAllocation::~FailingAllocation() { t_plan.armed = false; }

bool FailingAllocation::Struck() const { return t_plan.struck; }

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
