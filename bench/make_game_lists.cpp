// Writes a benchmark pair: make_game_lists COUNT FOLDER [SHAPE] creates FOLDER/new_keys.ini and
// FOLDER/file_to_update.ini, and FOLDER/base.ini for a merge that keeps the user's edits. SHAPE is plain
// (COUNT games, the default), tagged, tagged-shuffled, large-section, large-shuffled (one section of COUNT
// keys), all-bang, deep-brackets, long-bracket-line, mixed, hostile, short-keys, short-keys-shuffled,
// equal-signs-base or only-brackets (see game_lists.h).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
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
  using ombrix::bench::ListShape;
  static const std::map<std::string, ListShape> kShapes = {{"plain", ListShape::Plain},
                                                           {"tagged", ListShape::Tagged},
                                                           {"tagged-shuffled", ListShape::TaggedShuffled},
                                                           {"large-section", ListShape::LargeSection},
                                                           {"large-shuffled", ListShape::LargeShuffled},
                                                           {"all-bang", ListShape::AllBang},
                                                           {"deep-brackets", ListShape::DeepBrackets},
                                                           {"long-bracket-line", ListShape::LongBracketLine},
                                                           {"mixed", ListShape::Mixed},
                                                           {"hostile", ListShape::Hostile},
                                                           {"short-keys", ListShape::ShortKeys},
                                                           {"short-keys-shuffled", ListShape::ShortKeysShuffled},
                                                           {"equal-signs-base", ListShape::EqualSignsBase},
                                                           {"only-brackets", ListShape::OnlyBrackets}};
  const auto shape = kShapes.find(argc == 4 ? argv[3] : "plain");
  if (argc < 3 || argc > 4 || std::atoi(argv[1]) <= 0 || shape == kShapes.end()) {
    std::fprintf(stderr, "usage: make_game_lists COUNT FOLDER [SHAPE]\n");
    return 2;
  }
  const ombrix::bench::GameListPair pair = ombrix::bench::makeShapedLists(shape->second, std::atoi(argv[1]));
  const std::filesystem::path folder = argv[2];
  std::filesystem::create_directories(folder);
  if (!writeFile(folder / "new_keys.ini", pair.newKeys) ||
      !writeFile(folder / "file_to_update.ini", pair.fileToUpdate) ||
      !writeFile(folder / "base.ini", pair.base.empty() ? ombrix::bench::makeBase(pair.fileToUpdate) : pair.base)) {
    std::fprintf(stderr, "make_game_lists: cannot write into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
