// Writes a benchmark pair: make_game_lists GAMES FOLDER creates FOLDER/new_keys.ini and
// FOLDER/file_to_update.ini.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/game_lists.h"

namespace {
bool writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::atoi(argv[1]) <= 0) {
    std::fprintf(stderr, "usage: make_game_lists GAMES FOLDER\n");
    return 2;
  }
  const ombrix::bench::GameListPair pair = ombrix::bench::makeGameLists(std::atoi(argv[1]));
  const std::filesystem::path folder = argv[2];
  std::filesystem::create_directories(folder);
  if (!writeFile(folder / "new_keys.ini", pair.newKeys) ||
      !writeFile(folder / "file_to_update.ini", pair.fileToUpdate)) {
    std::fprintf(stderr, "make_game_lists: cannot write into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
