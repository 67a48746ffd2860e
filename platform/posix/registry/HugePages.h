// Memory for the large arrays of a registry file's index. Every first touch of a 4 KB page
// costs a page fault, and on a virtual machine a fault costs as much as scanning 100 KB of
// text: large arrays ask for huge pages instead.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace Platform::Posix {

template <class T>
struct TBigAllocator {
  using value_type = T;
  static constexpr size_t kHuge = size_t(2) << 20;

  TBigAllocator() = default;
  template <class U>
  TBigAllocator(const TBigAllocator<U>&) {}

  T* allocate(size_t n) {
    size_t bytes = n * sizeof(T);
    if (bytes < kHuge / 2) return std::allocator<T>().allocate(n);
    // Room to align the block to a huge page; its address goes in front of the array.
    size_t length = bytes + 2 * kHuge;
    void* raw = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    uintptr_t start = (reinterpret_cast<uintptr_t>(raw) + kHuge) & ~(kHuge - 1);
    ::madvise(reinterpret_cast<void*>(start), length - (start - reinterpret_cast<uintptr_t>(raw)),
              MADV_HUGEPAGE);
    reinterpret_cast<uintptr_t*>(start)[-1] = reinterpret_cast<uintptr_t>(raw);
    reinterpret_cast<uintptr_t*>(start)[-2] = length;
    return reinterpret_cast<T*>(start);
  }

  void deallocate(T* p, size_t n) {
    if (n * sizeof(T) < kHuge / 2) return std::allocator<T>().deallocate(p, n);
    auto* header = reinterpret_cast<uintptr_t*>(p);
    ::munmap(reinterpret_cast<void*>(header[-1]), header[-2]);
  }

  template <class U>
  bool operator==(const TBigAllocator<U>&) const {
    return true;
  }
};

template <class T>
using TBigVector = std::vector<T, TBigAllocator<T>>;

}  // namespace Platform::Posix
