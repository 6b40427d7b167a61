#pragma once

// Realistic pairs of game lists for the benchmarks: a user's list of S games (a Comment status and typical
// settings keys, CR LF, an empty line after each section) and a newer copy of it with changed values of
// some of those keys, new and removed games, names in another letter case and a comment line on top.

#include <string>

namespace ombrix::bench {

struct GameListPair {
  std::string fileToUpdate;
  std::string newKeys;
  std::string base;  // for a merge that keeps the user's edits; when empty, makeBase(fileToUpdate)
};

GameListPair makeGameLists(int games, unsigned seed = 1);

// Other shapes of lists, each a pair as above:
enum class ListShape {
  Plain,            // makeGameLists
  Tagged,           // names as real lists have them: "Castle 12 (U) (Rev 1) [!]", bracket tags on most
                    // games, region and revision tags, a few duplicate and near-duplicate names
  TaggedShuffled,   // the same, with the newer list's games in another order than the user's
  LargeSection,     // one section of COUNT keys, every one of them given a new value, in the user's order
  LargeShuffled,    // the same, the new keys in another order
  AllBang,          // COUNT games whose names all end in " [!]"
  DeepBrackets,     // COUNT header lines holding 50 "[" each
  LongBracketLine,  // one header line with COUNT "[" before its "]"
  Mixed,            // COUNT games as a user's list has them, one in seven with a bracket tag; the base is
                    // the newer list's older release
  Hostile,          // COUNT headers of 51 "[" before "GN]"; the newer list sets a key of every seventh game
  ShortKeys,        // one section of COUNT keys "kN=N", each given a new value, in the user's order
  ShortKeysShuffled,  // the same, the new keys in another order
  EqualSignsBase,   // plain lists of COUNT games, and a base of nothing but lines of "="
  OnlyBrackets,     // a user's list of nothing but lines of "[", and a newer list of COUNT games
};

GameListPair makeShapedLists(ListShape shape, int count, unsigned seed = 1);

// The base of a user's list for a merge that keeps the user's edits: the list as the newer list it last
// took left it, before the user changed every seventh value (the base holds the value with "0" appended).
std::string makeBase(const std::string& fileToUpdate);

}  // namespace ombrix::bench
