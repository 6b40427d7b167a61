#pragma once

// Generates game lists with the quirks the text model has to get right: headers inside other lines,
// sections not separated by empty lines, duplicate keys and sections, runs of empty lines, lone CRs and LFs,
// letter case by the Windows-1252 fold, open-ended sections, names with brackets, and the new-keys files
// that merge into them. Every input comes from a seed, so a failure can be replayed.

#include <random>
#include <string>
#include <vector>

namespace ombrix::test {

class IniGenerator {
 public:
  explicit IniGenerator(unsigned seed) : random_(seed) {}

  // A file to be updated.
  std::string userList() {
    std::string text;
    const int leadingEmpty = chance(10) ? pick(1, 3) : 0;
    for (int i = 0; i < leadingEmpty; ++i) {
      text += "\r\n";
    }
    const int lines = pick(0, 24);
    for (int i = 0; i < lines; ++i) {
      text += userLine();
      text += i + 1 == lines ? lastLineEnd() : lineEnd();
    }
    return text;
  }

  // A newer copy with the new keys.
  std::string newKeys() {
    std::string text;
    const int lines = pick(0, 20);
    for (int i = 0; i < lines; ++i) {
      text += newKeysLine();
      text += chance(85) ? "\r\n" : (chance(50) ? "\n" : "\r");
    }
    if (chance(30) && !text.empty()) {
      text.resize(text.size() - (text.ends_with("\r\n") ? 2 : 1));
    }
    return text;
  }

  std::string section() { return one(sections_); }
  std::string key() { return one(keys_); }
  std::string value() { return one(values_); }

 private:
  std::string userLine() {
    switch (pick(0, 13)) {
      case 0:
      case 1:
      case 2:
        return "[" + section() + "]";
      case 3:
        return "";  // an empty line, so runs of them occur
      case 4:
        return "[" + section() + "] ";  // not a header: a blank after "]"
      case 5:
        return key() + "=[" + section() + "]";  // a header text at the end of a value
      case 6:
        return "// " + value();
      case 7:
        return " " + key() + "=" + value();  // a blank before the name: not that key
      case 8:
        return key() + "=" + value() + "\r" + key() + "=" + value();  // a lone CR inside a line
      case 9:
        return "[" + section() + "]\r" + key() + "=" + value();  // a header ended by a lone CR
      case 10:
        return one({"[", "[[", "x["}) + section() + one({"]]", "]", "]x"});  // stray brackets around a name
      default:
        return key() + "=" + value();
    }
  }

  std::string newKeysLine() {
    switch (pick(0, 11)) {
      case 0:
      case 1:
        return (chance(20) ? "  [" : "[") + section() + (chance(20) ? "]  " : "]");
      case 2:
        return "";
      case 3:
        return "// " + value();
      case 4:
        return " " + key() + " = " + value() + " ";
      case 5:
        return chance(50) ? "[]" : "[" + section();
      case 6:
        return key() + "=";  // deletes the key
      case 7:
        return "/" + key() + "=" + value();  // one "/" does not make a comment
      default:
        return key() + "=" + value();
    }
  }

  std::string lineEnd() {
    const int roll = pick(0, 99);
    return roll < 90 ? "\r\n" : (roll < 95 ? "\r\n\r\n" : "\n");
  }

  std::string lastLineEnd() {
    const int roll = pick(0, 9);
    return roll < 5 ? "\r\n\r\n" : (roll < 8 ? "\r\n" : (roll < 9 ? "" : "\r"));
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool chance(int percent) { return pick(0, 99) < percent; }
  std::string one(const std::vector<std::string>& options) {
    return options[static_cast<std::size_t>(pick(0, static_cast<int>(options.size()) - 1))];
  }

  std::mt19937 random_;
  const std::vector<std::string> sections_ = {"G1",  "g1", "G2",  "Game", "GAME", "\xC9t\xE9", "\xE9T\xC9",
                                              "a[b", "B",  "x]y", "G 3",  " G1",  "\x8A\x9F",
                                              "G (U) [!]", "g (u) [!] [b1]", "[G1] [!]", "a]b[c]"};
  const std::vector<std::string> keys_ = {"Comment", "COMMENT", "Speed", "speed", "k",  "K",  "\xC0",
                                          "\xE0",    "k2",      "[G1",   ";k",    "#k", "\tk"};
  const std::vector<std::string> values_ = {"Playable", "playable", "Unplayable",  "Almost",  "Not playable",
                                            "1",        "2",        " 3 ",         "[G1]",    "[B]",
                                            "a=b",      "x]",       "nothing yet", "\x01\xFF"};
};

}  // namespace ombrix::test
