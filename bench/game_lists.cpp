#include "bench/game_lists.h"

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <vector>

namespace ombrix::bench {
namespace {

constexpr std::array<const char*, 6> kStatuses = {
    "Playable",   "Almost playable", "Not playable", "Unplayable", "Playable - minor sound glitches",
    "nothing yet"};

std::string gameName(int game) {
  static constexpr std::array<const char*, 8> kWords = {"Castle",  "Racer",  "Quest", "Galaxy",
                                                        "Dungeon", "Soccer", "Ninja", "Puzzle"};
  return std::string(kWords[static_cast<std::size_t>(game) % kWords.size()]) + " " + std::to_string(game);
}

std::string inCapitals(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return text;
}

void appendKey(std::string& text, const char* key, const std::string& value) {
  text.append(key).append("=").append(value).append("\r\n");
}

}  // namespace

GameListPair makeGameLists(int games, unsigned seed) {
  std::mt19937 random(seed);
  auto roll = [&random](int sides) { return static_cast<int>(random() % static_cast<unsigned>(sides)); };
  GameListPair pair;
  pair.newKeys = "// Game list, newer release\r\n\r\n";
  const int newGames = games / 20;
  for (int game = 0; game < games + newGames; ++game) {
    const std::string name = gameName(game);
    const bool inUserList = game < games;
    const bool inNewList = !inUserList || roll(100) >= 2;  // a few games were removed
    const std::string status = kStatuses[static_cast<std::size_t>(roll(static_cast<int>(kStatuses.size())))];
    if (inUserList) {
      std::string& user = pair.fileToUpdate;
      user.append("[").append(name).append("]\r\n");
      appendKey(user, "Comment", status);
      appendKey(user, "Speed", std::to_string(roll(4)));
      appendKey(user, "Sound", std::to_string(roll(2)));
      appendKey(user, "VideoMode", std::to_string(roll(3)));
      appendKey(user, "Frameskip", std::to_string(roll(3)));
      appendKey(user, "Controller", roll(2) == 0 ? "Gamepad 1" : "Keyboard");
      appendKey(user, "Notes", "Tested by me on release " + std::to_string(roll(20)));
      user.append("\r\n");
    }
    if (inNewList) {
      std::string& fresh = pair.newKeys;
      // Some headers come in another letter case; the merge finds them all the same.
      fresh.append("[").append(roll(10) == 0 ? inCapitals(name) : name);
      fresh.append("]\r\n");
      appendKey(fresh, "Comment", roll(3) == 0 ? std::string(kStatuses[0]) : status);
      appendKey(fresh, "Speed", std::to_string(roll(4)));
      appendKey(fresh, "Sound", std::to_string(roll(2)));
      appendKey(fresh, "VideoMode", std::to_string(roll(3)));
      appendKey(fresh, "Frameskip", std::to_string(roll(3)));
      fresh.append("\r\n");
    }
  }
  return pair;
}

namespace {

// A name as game lists write it: a region in parentheses, now and then a revision, and on most games a
// bracket tag for a verified, bad or hacked dump or a translation.
std::string taggedName(int game, const std::function<int(int)>& roll) {
  static constexpr std::array<const char*, 5> kRegions = {"(U)", "(E)", "(J)", "(W)", "(U) (E)"};
  static constexpr std::array<const char*, 6> kTags = {" [!]", " [!]", " [!]", " [b1]", " [h1C]", " [T+Eng]"};
  std::string name = gameName(game) + " " + kRegions[static_cast<std::size_t>(roll(5))];
  if (roll(8) == 0) {
    name += " (Rev " + std::to_string(1 + roll(2)) + ")";
  }
  if (roll(4) != 0) {
    name += kTags[static_cast<std::size_t>(roll(6))];
  }
  return name;
}

void appendGame(std::string& list, const std::string& name, const std::string& keys) {
  list.append("[").append(name).append("]\r\n").append(keys).append("\r\n");
}

GameListPair taggedLists(int games, bool shuffled, std::mt19937& random) {
  auto roll = [&random](int sides) { return static_cast<int>(random() % static_cast<unsigned>(sides)); };
  std::vector<std::pair<std::string, std::string>> fresh;
  GameListPair pair;
  for (int game = 0; game < games; ++game) {
    // One game in a hundred repeats the name of the one before (a duplicate), one in fifty differs from it
    // only by its tag (a near-duplicate).
    const int nameOf = game > 0 && roll(100) == 0 ? game - 1 : game;
    std::string name = taggedName(nameOf, roll);
    if (game > 0 && roll(50) == 0) {
      name = taggedName(game - 1, roll) + " [a1]";
    }
    appendGame(pair.fileToUpdate, name,
               "Comment=" + std::string(kStatuses[static_cast<std::size_t>(roll(6))]) +
                   "\r\nSpeed=" + std::to_string(roll(4)) + "\r\nSound=1\r\nNotes=Tested on release " +
                   std::to_string(roll(20)) + "\r\n");
    fresh.emplace_back(name, "Comment=Playable\r\nSpeed=" + std::to_string(roll(4)) + "\r\nVideoMode=2\r\n");
  }
  if (shuffled) {
    std::shuffle(fresh.begin(), fresh.end(), random);
  }
  for (const auto& [name, keys] : fresh) {
    appendGame(pair.newKeys, name, keys);
  }
  return pair;
}

// One section of COUNT keys, every one given a new value, in the user's order or shuffled: long names and
// values ("Key12=old" becomes "Key12=new 12") or the shortest ("k12=12" becomes "k12=x12").
GameListPair oneSection(int keys, bool shuffled, bool shortLines, std::mt19937& random) {
  std::vector<int> order(static_cast<std::size_t>(keys));
  for (int key = 0; key < keys; ++key) {
    order[static_cast<std::size_t>(key)] = key;
  }
  if (shuffled) {
    std::shuffle(order.begin(), order.end(), random);
  }
  const std::string header = shortLines ? "[Big]\r\n" : "[Settings]\r\n";
  const std::string name = shortLines ? "k" : "Key";
  GameListPair pair{header, header, {}};
  for (int key = 0; key < keys; ++key) {
    pair.fileToUpdate += name + std::to_string(key) + "=" + (shortLines ? std::to_string(key) : "old") + "\r\n";
  }
  for (const int key : order) {
    pair.newKeys += name + std::to_string(key) + "=" + (shortLines ? "x" : "new ") + std::to_string(key) + "\r\n";
  }
  pair.fileToUpdate += "\r\n";
  pair.newKeys += "\r\n";
  return pair;
}

GameListPair sameKeysUnder(const std::vector<std::string>& names) {
  GameListPair pair;
  for (const std::string& name : names) {
    appendGame(pair.fileToUpdate, name, "Comment=Unplayable\r\nSpeed=1\r\n");
    appendGame(pair.newKeys, name, "Comment=Playable\r\nSpeed=2\r\n");
  }
  return pair;
}

// A user's list as most are: a region tag on every game, a bracket tag on one in seven; the newer release
// changes the Comment of one game in three and a setting of one in five, and the older release it replaces
// (the base) differs from it in one value of every eleventh game.
GameListPair mixedLists(int games, std::mt19937& random) {
  auto roll = [&random](int sides) { return static_cast<int>(random() % static_cast<unsigned>(sides)); };
  static constexpr std::array<const char*, 4> kRegions = {"(U)", "(E)", "(J)", "(W)"};
  static constexpr std::array<const char*, 4> kTags = {" [!]", " [b1]", " [h1C]", " [T+Eng]"};
  GameListPair pair;
  for (int game = 0; game < games; ++game) {
    std::string name = gameName(game) + " " + kRegions[static_cast<std::size_t>(roll(4))];
    if (roll(7) == 0) {
      name += kTags[static_cast<std::size_t>(roll(4))];
    }
    const std::string status = kStatuses[static_cast<std::size_t>(roll(6))];
    const std::string speed = std::to_string(roll(4));
    const std::string keys = "Speed=" + speed + "\r\nSound=1\r\nVideoMode=" + std::to_string(roll(3)) + "\r\n";
    appendGame(pair.fileToUpdate, name, "Comment=" + status + "\r\n" + keys + "Notes=Tested\r\n");
    const std::string newStatus = roll(3) == 0 ? std::string(kStatuses[0]) : status;
    const std::string newSpeed = roll(5) == 0 ? std::to_string(roll(4)) : speed;
    appendGame(pair.newKeys, name, "Comment=" + newStatus + "\r\nSpeed=" + newSpeed + "\r\nSound=1\r\n");
    appendGame(pair.base, name,
               "Comment=" + newStatus + "\r\nSpeed=" + (game % 11 == 0 ? "9" : newSpeed) + "\r\nSound=1\r\n");
  }
  return pair;
}

GameListPair hostileLists(int games) {
  GameListPair pair;
  const std::string brackets(51, '[');
  for (int game = 0; game < games; ++game) {
    pair.fileToUpdate.append(brackets).append("G" + std::to_string(game)).append("]\r\nk=1\r\n\r\n");
    if (game % 7 == 0) {
      appendGame(pair.newKeys, "G" + std::to_string(game), "k=2\r\n");
    }
  }
  return pair;
}

}  // namespace

GameListPair makeShapedLists(ListShape shape, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> names;
  switch (shape) {
    case ListShape::Plain:
      return makeGameLists(count, seed);
    case ListShape::Tagged:
    case ListShape::TaggedShuffled:
      return taggedLists(count, shape == ListShape::TaggedShuffled, random);
    case ListShape::LargeSection:
    case ListShape::LargeShuffled:
      return oneSection(count, shape == ListShape::LargeShuffled, false, random);
    case ListShape::AllBang:
      for (int game = 0; game < count; ++game) {
        names.push_back("Game " + std::to_string(game) + " (U) [!]");
      }
      return sameKeysUnder(names);
    case ListShape::DeepBrackets:
      for (int game = 0; game < count; ++game) {
        std::string name = "g" + std::to_string(game);
        for (int bracket = 1; bracket < 50; ++bracket) {
          name += "[x";
        }
        names.push_back(name);
      }
      return sameKeysUnder(names);
    case ListShape::LongBracketLine:
      return sameKeysUnder({"Short", std::string(static_cast<std::size_t>(count), '[') + "deep"});
    case ListShape::Mixed:
      return mixedLists(count, random);
    case ListShape::Hostile:
      return hostileLists(count);
    case ListShape::ShortKeys:
    case ListShape::ShortKeysShuffled:
      return oneSection(count, shape == ListShape::ShortKeysShuffled, true, random);
    case ListShape::EqualSignsBase: {
      GameListPair pair = makeGameLists(count, seed);
      for (std::size_t line = 0; line < pair.newKeys.size() / 3; ++line) {
        pair.base += "=\r\n";
      }
      return pair;
    }
    case ListShape::OnlyBrackets: {
      GameListPair pair = makeGameLists(count, seed);
      pair.fileToUpdate.clear();
      for (std::size_t line = 0; line < pair.newKeys.size() / 100; ++line) {
        pair.fileToUpdate += std::string(98, '[') + "\r\n";
      }
      return pair;
    }
  }
  return {};
}

std::string makeBase(const std::string& fileToUpdate) {
  std::string base;
  base.reserve(fileToUpdate.size() + fileToUpdate.size() / 32);
  std::size_t keyLines = 0;
  std::size_t begin = 0;
  while (begin < fileToUpdate.size()) {
    std::size_t end = fileToUpdate.find("\r\n", begin);
    end = end == std::string::npos ? fileToUpdate.size() : end;
    const std::string_view line(fileToUpdate.data() + begin, end - begin);
    base.append(line);
    if (line.find('=') != std::string_view::npos && !line.starts_with('[') && ++keyLines % 7 == 0) {
      base += '0';
    }
    base += "\r\n";
    begin = end + 2;
  }
  return base;
}

}  // namespace ombrix::bench
