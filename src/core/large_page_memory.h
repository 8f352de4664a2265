#pragma once

// Memory for the large arrays that millions of rows fill at once (the reading table, the buffers
// of its files, the chart's points), placed so that the system may back it with its large pages
// (2 MB on x86-64). Filling a quarter of a gigabyte of 4 KB pages takes 65,000 page faults, and on
// a virtual machine each can cost ten microseconds: more than parsing the rows that fill them.
// With large pages it takes some 130.

#include <cstddef>
#include <new>
#include <utility>

namespace qm {

inline constexpr std::size_t kLargePageBytes = std::size_t{2} * 1024 * 1024;

// `bytes` of uninitialised memory that starts on a large-page boundary; throws std::bad_alloc.
// Whether large pages back it is the system's choice: the memory works the same either way.
void* allocateLargePages(std::size_t bytes);
// Gives back memory from allocateLargePages, with the size it was asked for.
void releaseLargePages(void* memory, std::size_t bytes) noexcept;

// Memory from allocateLargePages, owned.
class LargePageBuffer {
public:
  LargePageBuffer() = default;
  // Throws std::bad_alloc.
  explicit LargePageBuffer(std::size_t bytes) : data_(static_cast<char*>(allocateLargePages(bytes))), size_(bytes) {}
  ~LargePageBuffer() {
    if (data_ != nullptr) {
      releaseLargePages(data_, size_);
    }
  }
  LargePageBuffer(LargePageBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  LargePageBuffer& operator=(LargePageBuffer&& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
  }

  char* data() const { return data_; }
  std::size_t size() const { return size_; }

private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
};

// For containers that grow to megabytes (a load's lookup tables of texts, a save's buffers, the
// chart's points): blocks of a megabyte or more come from large pages, smaller ones from the usual
// heap.
template <typename T>
class LargePageAllocator {
public:
  using value_type = T;
  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>& /*other*/) {}

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    return static_cast<T*>(bytes >= kLeastBytes ? allocateLargePages(bytes) : ::operator new(bytes));
  }
  void deallocate(T* memory, std::size_t count) noexcept {
    const std::size_t bytes = count * sizeof(T);
    if (bytes >= kLeastBytes) {
      releaseLargePages(memory, bytes);
    } else {
      ::operator delete(memory, bytes);
    }
  }
  friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }

private:
  static constexpr std::size_t kLeastBytes = kLargePageBytes / 2;
};

}  // namespace qm
