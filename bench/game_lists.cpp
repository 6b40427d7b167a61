#include "bench/game_lists.h"

#include <array>
#include <random>

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

}  // namespace ombrix::bench
