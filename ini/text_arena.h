#pragma once

// Room for the edited paragraphs of a document: handed out from large blocks and released all at once with
// the arena, never one by one. Blocks grow from small to a few megabytes, and on Linux the large ones ask
// for huge pages: a list of tens of thousands of games then costs a handful of page faults instead of
// thousands, which is most of the time of a large merge.

#include <cstddef>
#include <memory>
#include <vector>

namespace ombrix {

class TextArena {
 public:
  TextArena() = default;
  TextArena(const TextArena&) = delete;
  TextArena& operator=(const TextArena&) = delete;

  char* allocate(std::size_t size);

 private:
  struct FreeBlock {
    void operator()(char* block) const;
  };

  std::vector<std::unique_ptr<char, FreeBlock>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
  std::size_t nextBlockSize_ = 64 * 1024;
};

// Asks the system to back a large buffer with huge pages where it can (Linux); elsewhere does nothing.
void preferHugePages(void* buffer, std::size_t size);

}  // namespace ombrix
