#pragma once

// Room for the edited paragraphs of a document: handed out from large blocks and released all at once with
// the arena, never one by one. Blocks grow from small to a few megabytes, and on Linux the large ones ask
// for huge pages: a list of tens of thousands of games then costs a handful of page faults instead of
// thousands, which is most of the time of a large merge.

#include <cstddef>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace ombrix {

// A block of memory: on Linux one of 2 MB or more is aligned to huge pages and asks for them (a buffer from
// malloc is rarely aligned so, and then gets few or none). Null when there is no memory. Freed with
// freeBlock.
void* allocateBlock(std::size_t size);
void freeBlock(void* block);

struct BlockDeleter {
  void operator()(char* block) const { freeBlock(block); }
};

class TextArena {
 public:
  TextArena() = default;
  // A text of many megabytes will have many of its paragraphs edited: starting with a large block saves the
  // small ones before it.
  explicit TextArena(std::size_t firstBlockSize) : nextBlockSize_(firstBlockSize) {}
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;

  char* allocate(std::size_t size);

 private:
  std::vector<std::unique_ptr<char, BlockDeleter>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t nextBlockSize_ = 64 * 1024;
};

// Asks the system to back a large buffer with huge pages where it can (Linux); elsewhere does nothing.
void preferHugePages(void* buffer, std::size_t size);

// A text's bytes in one block from allocateBlock. Unlike std::string it leaves bytes it grows by unset, so a
// file is read straight into it without clearing megabytes first, and a large one lies in huge pages.
class TextBlock {
 public:
  TextBlock() = default;
  // Empty, with room for capacity bytes.
  explicit TextBlock(std::size_t capacity);

  char* data() { return block_.get(); }
  const char* data() const { return block_.get(); }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  std::string_view view() const { return {block_.get(), size_}; }
  // Both stay within the capacity; bytes added by resize are unset.
  void resize(std::size_t size);
  void append(std::string_view bytes);

 private:
  std::unique_ptr<char, BlockDeleter> block_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// For the large tables of a document (its paragraphs, its index): each costs a few page faults instead of
// hundreds.
template <typename T>
struct BlockAllocator {
  using value_type = T;

  BlockAllocator() = default;
  template <typename U>
  explicit BlockAllocator(const BlockAllocator<U>& /*other*/) {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
      throw std::bad_array_new_length();
    }
    void* block = allocateBlock(count == 0 ? 1 : count * sizeof(T));
    if (block == nullptr) {
      throw std::bad_alloc();
    }
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t /*count*/) { freeBlock(block); }

  template <typename U>
  bool operator==(const BlockAllocator<U>& /*other*/) const {
    return true;
  }
};

}  // namespace ombrix
