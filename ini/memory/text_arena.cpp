#include "ini/memory/text_arena.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace ombrix {
namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kLargestBlock = 8 * 1024 * 1024;
}  // namespace

// std::aligned_alloc is not on every system (MinGW lacks it), and only Linux takes the request.
void* allocateBlock(std::size_t size) {
#ifdef __linux__
  if (size >= kHugePage) {
    void* block = std::aligned_alloc(kHugePage, (size + kHugePage - 1) / kHugePage * kHugePage);
    if (block != nullptr) {
      preferHugePages(block, size);
    }
    return block;
  }
#endif
  return std::malloc(size);
}

void freeBlock(void* block) {
  std::free(block);
}

void preferHugePages([[maybe_unused]] void* buffer, [[maybe_unused]] std::size_t size) {
#ifdef __linux__
  if (size < kHugePage) {
    return;
  }
  // madvise wants a page-aligned start; the kernel uses huge pages for the aligned 2 MB stretches inside.
  constexpr std::uintptr_t kPage = 4096;
  const auto start = reinterpret_cast<std::uintptr_t>(buffer);
  const std::uintptr_t aligned = (start + kPage - 1) & ~(kPage - 1);
  if (aligned < start + size) {
    madvise(reinterpret_cast<void*>(aligned), start + size - aligned, MADV_HUGEPAGE);
  }
#endif
}

char* TextArena::allocate(std::size_t size) {
  if (size > left_) {
    const std::size_t blockSize = std::max(size, nextBlockSize_);
    nextBlockSize_ = std::min(nextBlockSize_ * 2, kLargestBlock);
    void* block = allocateBlock(blockSize);
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    blocks_.emplace_back(static_cast<char*>(block));
    next_ = static_cast<char*>(block);
    left_ = blockSize;
  }
  char* allocated = next_;
  next_ += size;
  left_ -= size;
  return allocated;
}

TextBlock::TextBlock(std::size_t capacity) : capacity_(capacity) {
  block_.reset(static_cast<char*>(allocateBlock(capacity == 0 ? 1 : capacity)));
  if (!block_) {
    throw std::bad_alloc();
  }
}

void TextBlock::resize(std::size_t size) {
  if (size > capacity_) {
    throw std::length_error("TextBlock::resize beyond its capacity");
  }
  size_ = size;
}

void TextBlock::append(std::string_view bytes) {
  if (bytes.size() > capacity_ - size_) {
    throw std::length_error("TextBlock::append beyond its capacity");
  }
  if (!bytes.empty()) {
    std::memcpy(block_.get() + size_, bytes.data(), bytes.size());
  }
  size_ += bytes.size();
}

}  // namespace ombrix
