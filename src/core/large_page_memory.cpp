#include "core/large_page_memory.h"

#include <new>

// Under AddressSanitizer the memory comes from the heap, where the sanitizer sees a write past its
// end: large pages are only a matter of speed.
#if defined(__SANITIZE_ADDRESS__)
#define QM_HEAP_MEMORY_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_HEAP_MEMORY_ONLY 1
#endif
#endif

#if defined(__linux__) && !defined(QM_HEAP_MEMORY_ONLY)
#define QM_MAPPED_MEMORY 1
#include <sys/mman.h>

#include <cstdint>
#endif

namespace qm {

#ifdef QM_MAPPED_MEMORY

namespace {

// Whole large pages, so that the mapping ends on a large-page boundary too.
std::size_t wholePages(std::size_t bytes) { return (bytes + kLargePageBytes - 1) & ~(kLargePageBytes - 1); }

}  // namespace

void* allocateLargePages(std::size_t bytes) {
  const std::size_t length = wholePages(bytes);
  // Mapped a large page longer than needed, then cut to the first boundary in it.
  void* const mapping = mmap(nullptr, length + kLargePageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    throw std::bad_alloc();
  }
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  const std::uintptr_t aligned = (start + kLargePageBytes - 1) & ~std::uintptr_t{kLargePageBytes - 1};
  const std::size_t head = aligned - start;
  if (head > 0) {
    munmap(mapping, head);
  }
  if (head < kLargePageBytes) {
    munmap(reinterpret_cast<void*>(aligned + length), kLargePageBytes - head);
  }
  void* const memory = reinterpret_cast<void*>(aligned);
  // Only a hint: where the system gives large pages to programs that ask for them, or to all, the
  // memory gets them; elsewhere it stays in small pages.
  madvise(memory, length, MADV_HUGEPAGE);
  return memory;
}

void releaseLargePages(void* memory, std::size_t bytes) noexcept { munmap(memory, wholePages(bytes)); }

#else

void* allocateLargePages(std::size_t bytes) { return ::operator new(bytes, std::align_val_t{kLargePageBytes}); }

void releaseLargePages(void* memory, std::size_t /*bytes*/) noexcept {
  ::operator delete(memory, std::align_val_t{kLargePageBytes});
}

#endif

}  // namespace qm
