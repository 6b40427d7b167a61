#pragma once

// Realistic pairs of game lists for the benchmarks: a user's list of S games (a Comment status and typical
// settings keys, CR LF, an empty line after each section) and a newer copy of it with changed values, new
// keys, new and removed games, names in another letter case and a comment line on top.

#include <string>

namespace ombrix::bench {

struct GameListPair {
  std::string fileToUpdate;
  std::string newKeys;
};

GameListPair makeGameLists(int games, unsigned seed = 1);

}  // namespace ombrix::bench
