// Large allocations of the program on huge pages. Every first touch of a 4 KB page costs a
// page fault, and on a virtual machine a fault costs as much as scanning 100 KB of text: a
// million-item list touches some 25,000 pages. Blocks of a megabyte and more are mapped on
// their own and marked for huge pages, so they fault once per 2 MB instead.
//
// Linked into the program only (not into tests or sanitizer builds, which track allocations
// themselves). Small blocks go to malloc as before.
#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace {

constexpr size_t kLarge = size_t(1) << 20;
constexpr size_t kHuge = size_t(2) << 20;
constexpr int kSlots = 128;

struct TBlock {
  void* User = nullptr;
  void* Base = nullptr;
  size_t Length = 0;
};

TBlock gBlocks[kSlots];
std::mutex gLock;
// Every large block lies in [gLow, gHigh): a delete outside it needs no lock.
std::atomic<uintptr_t> gLow{UINTPTR_MAX}, gHigh{0};

void* AllocateLarge(size_t size) {
  // Room to align the block to a huge page and to end it on one: its last part, too, faults once.
  size_t length = size + 2 * kHuge;
  void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  uintptr_t start = (reinterpret_cast<uintptr_t>(base) + kHuge - 1) & ~(kHuge - 1);
  ::madvise(reinterpret_cast<void*>(start), (size + kHuge - 1) & ~(kHuge - 1), MADV_HUGEPAGE);
  std::lock_guard<std::mutex> guard(gLock);
  for (auto& block : gBlocks) {
    if (block.User) continue;
    block = {reinterpret_cast<void*>(start), base, length};
    uintptr_t end = reinterpret_cast<uintptr_t>(base) + length;
    if (reinterpret_cast<uintptr_t>(base) < gLow) gLow = reinterpret_cast<uintptr_t>(base);
    if (end > gHigh) gHigh = end;
    return block.User;
  }
  ::munmap(base, length);  // No slot left: malloc serves it.
  return nullptr;
}

bool ReleaseLarge(void* p) {
  auto address = reinterpret_cast<uintptr_t>(p);
  if (address < gLow.load(std::memory_order_relaxed) ||
      address >= gHigh.load(std::memory_order_relaxed))
    return false;
  std::lock_guard<std::mutex> guard(gLock);
  for (auto& block : gBlocks) {
    if (block.User != p) continue;
    ::munmap(block.Base, block.Length);
    block = TBlock{};
    return true;
  }
  return false;
}

void* Allocate(size_t size) {
  if (size >= kLarge)
    if (void* p = AllocateLarge(size)) return p;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void Release(void* p) noexcept {
  if (p && !ReleaseLarge(p)) std::free(p);
}

}  // namespace

void* operator new(size_t size) {
  return Allocate(size);
}
void* operator new[](size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p);
}
