#pragma once

// The window formOmbrixMerger, described once and without a toolkit: every control with its kind, parent,
// text, place in twips and tab position, and every text the window shows or stores. The Qt window and the
// Win32 window both build themselves from this description; neither repeats a coordinate or a text.

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "merge/merge_pass.h"

namespace ombrix::form {

// The layout is in twips: 1440 to the inch, 15 to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kBaseDpi = 96;

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Twips to pixels at the given dots per inch (15 twips to a pixel at 96), rounded down as at 96 DPI.
constexpr int pixels(int twips, int dpi = kBaseDpi) {
  return twips * dpi / kTwipsPerInch;
}
constexpr Rect pixels(Rect twips, int dpi = kBaseDpi) {
  return {pixels(twips.left, dpi), pixels(twips.top, dpi), pixels(twips.width, dpi),
          pixels(twips.height, dpi)};
}

enum class Kind { Picture, Label, TextBox, Button, Frame, OptionButton };

struct Control {
  std::string_view name;
  Kind kind;
  std::string_view parent;  // empty: the window itself; otherwise the frame that holds it
  std::string_view text;    // the text at start
  Rect twips;               // from the top left of the parent's client area
  std::optional<int> tab;   // position in the keyboard tab order; labels keep one but are skipped
  std::optional<MergePolicy> policy = std::nullopt;  // the policy an option button selects
};

inline constexpr std::string_view kFormName = "formOmbrixMerger";
inline constexpr std::string_view kCaption = "Ombrix Ini Files Merger 1.1b";
inline constexpr Rect kClientTwips = {0, 0, 5625, 4170};

inline constexpr std::string_view kDescription =
    "This tool merges two Ombrix.ini file into a single one, avoiding to lose your changes when you update "
    "your Ombrix.ini with new versions.";

// The controls from top to bottom. The path boxes and browse buttons are numbered 1 and 2: 1 is the file
// with the new keys, 2 the file to be updated.
inline constexpr std::array<Control, 15> kControls = {{
    {"Image1", Kind::Picture, "", "", {30, 60, 750, 795}, std::nullopt},
    {"Label2", Kind::Label, "", "Ombrix.ini File with the New Keys:", {900, 225, 4260, 315}, 6},
    {"txtSource(1)", Kind::TextBox, "", "", {885, 450, 4230, 360}, 0},
    {"btnBrowse(1)", Kind::Button, "", "...", {5130, 435, 300, 345}, 1},
    {"Label3", Kind::Label, "", "Ombrix.ini File to be Updated:", {900, 900, 4200, 315}, 7},
    {"txtSource(2)", Kind::TextBox, "", "", {885, 1125, 4230, 360}, 2},
    {"btnBrowse(2)", Kind::Button, "", "...", {5115, 1125, 300, 345}, 3},
    {"Label1", Kind::Label, "", kDescription, {75, 1620, 3360, 615}, 5},
    {"Command1", Kind::Button, "", "Merge >>", {3525, 1665, 1920, 735}, 4},
    {"Label4", Kind::Label, "", "Created By Quillane", {90, 2265, 2220, 270}, 8},
    {"Frame1", Kind::Frame, "", "Options", {75, 2550, 5430, 1500}, 9},
    {"Option2", Kind::OptionButton, "Frame1", "Do not replace games that are already playable",
     {150, 270, 5055, 240}, 10, MergePolicy::KeepPlayable},
    {"Option1", Kind::OptionButton, "Frame1", "Replace the INI with the new values", {150, 555, 5055, 240}, 11,
     MergePolicy::ReplaceAll},
    {"Option3", Kind::OptionButton, "Frame1", "Do not replace if game already exists in the INI",
     {150, 855, 5055, 240}, 12, MergePolicy::KeepExisting},
    {"Option4", Kind::OptionButton, "Frame1", "Keep my own edits, take every other new value",
     {150, 1140, 5055, 240}, 13, MergePolicy::KeepMyEdits},
}};

// Path box and browse button Index, 1 or 2.
constexpr std::string_view textBox(int index) {
  return index == 1 ? "txtSource(1)" : "txtSource(2)";
}
constexpr std::string_view browseButton(int index) {
  return index == 1 ? "btnBrowse(1)" : "btnBrowse(2)";
}
inline constexpr std::string_view kSelectedAtStart = "Option2";
inline constexpr std::string_view kMergeButton = "Command1";
// The description of the tool, which shows the progress of a merge while it runs.
inline constexpr std::string_view kDescriptionLabel = "Label1";
inline constexpr std::string_view kFocusAtStart = "txtSource(1)";

// The credit label: blue, underlined Arial at 6.75 point, the ordinary pointer; its tooltip is the home
// page without the final slash, and a click opens the home page.
inline constexpr std::string_view kCreditLabel = "Label4";
inline constexpr std::string_view kCreditFont = "Arial";
inline constexpr double kCreditPointSize = 6.75;
inline constexpr int kCreditRed = 0;
inline constexpr int kCreditGreen = 0;
inline constexpr int kCreditBlue = 255;
inline constexpr std::string_view kHomePage = "https://quillane.example/";
constexpr std::string_view homePageTooltip() {
  return kHomePage.ends_with('/') ? kHomePage.substr(0, kHomePage.size() - 1) : kHomePage;
}

// The dialogs the window opens.
inline constexpr std::string_view kBrowseFilter = "Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*";
inline constexpr std::string_view kBrowseTitle = "Select a ombrix ini file";
inline constexpr std::string_view kBrowseStartFolder = "c:\\";
inline constexpr std::string_view kSaveFilter = "Ombrix Ini File (*.ini)|*.ini";
inline constexpr std::string_view kSaveTitle = "Save merged ini as";
// Keeping the user's edits needs the list that the file last took its keys from, when none is kept.
inline constexpr std::string_view kBaseTitle = "Choose the list it last took its keys from";

// The per-user settings: the application, its section and the keys of the two path boxes.
inline constexpr std::string_view kSettingsApplication = "OmbrixMerger";
inline constexpr std::string_view kSettingsSection = "Settings";
// The key that keeps path box Index.
constexpr std::string_view settingsKey(int index) {
  return index == 1 ? "Source" : "File";
}

// Painting the progress for every line would slow a long merge down.
inline constexpr int kProgressRepaintMs = 30;

// The controls in the order that Tab visits them; the ones without a tab position (the picture) last.
inline std::vector<const Control*> controlsInTabOrder() {
  std::vector<const Control*> order;
  for (const Control& c : kControls) {
    order.push_back(&c);
  }
  std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
    return a->tab.value_or(1000) < b->tab.value_or(1000);
  });
  return order;
}

// The control of that name, found while compiling: another name than those of the description does not
// compile.
consteval const Control& control(std::string_view name) {
  for (const Control& c : kControls) {
    if (c.name == name) {
      return c;
    }
  }
  throw std::invalid_argument("no such control");
}

}  // namespace ombrix::form
