#pragma once

// What every window built from the form's description does, whatever toolkit builds it. Each toolkit's test
// runs these with a driver of its own, which builds the window over the given services and clicks, drops,
// closes and measures it the way that toolkit does:
//   Driver(const WindowServices&); formOmbrixMerger& form(); FormControls& controls();
//   void click(std::string_view control); void drop(std::string_view box, const std::string& path);
//   void close(); form::Rect placeOf(std::string_view control); std::string parentOf(std::string_view
//   control)
//   ("" for the window itself); std::string shownText(std::string_view control) (a label's, a button's or a
//   frame's text as drawn); form::Rect clientArea(); bool fixedSize(); std::string caption();
//   std::vector<std::string> tabOrder(std::size_t count) (from the first path box).

#include <optional>

#include "ini/file/path_text.h"
#include "merge/base_store.h"
#include "merge/merge_messages.h"
#include "test_support.h"
#include "ui/form_description.h"
#include "ui/merger_form.h"
#include "ui_fakes.h"

namespace ombrix::test {

// Another instance is running while taken is true.
class FakeInstance final : public InstanceGuard {
 public:
  bool taken = false;
  bool acquire() override { return !taken; }
};

template <typename Driver>
class WindowContract : public testing::Test {
 protected:
  TempDir dir;
  ScriptedDialogs dialogs;
  RecordingMessages messages;
  MemorySettings settings;
  FakeInstance instance;
  RecordingShell shell;
  Driver window{WindowServices{&dialogs, &messages, &settings, &instance, &shell}};

  std::string box(int index) { return window.controls().text(form::textBox(index)); }
  void setBox(int index, const std::string& text) { window.controls().setText(form::textBox(index), text); }
  std::string file(const char* name, std::string_view bytes) { return textOfPath(dir.file(name, bytes)); }

  // Copies of the sample lists in the boxes: the new keys in box 1, the user's list in box 2.
  void fillBoxesWithSampleLists() {
    setBox(1, file("new_keys.ini", readFile(sample("new_keys.ini"))));
    setBox(2, file("Mine.ini", readFile(sample("file_to_update.ini"))));
  }
  static std::filesystem::path sample(const std::string& name) {
    return std::filesystem::path(OMBRIX_TEST_DATA_DIR) / "sample" / name;
  }
};

TYPED_TEST_SUITE_P(WindowContract);

// The description places every control with its text; Tab starts round them in its order.
TYPED_TEST_P(WindowContract, IsBuiltFromTheFormsDescription) {
  EXPECT_EQ(this->window.caption(), form::kCaption);
  EXPECT_EQ(this->window.clientArea(), form::pixels(form::kClientTwips));
  EXPECT_TRUE(this->window.fixedSize());
  for (const form::Control& control : form::kControls) {
    const std::string name(control.name);
    EXPECT_EQ(this->window.placeOf(control.name), form::pixels(control.twips)) << name;
    EXPECT_EQ(this->window.parentOf(control.name), control.parent) << name;
    if (control.kind != form::Kind::Picture) {
      EXPECT_EQ(this->window.shownText(control.name), control.text) << name;
    }
  }
  EXPECT_THAT(this->window.tabOrder(6), testing::ElementsAre("txtSource(1)", "btnBrowse(1)", "txtSource(2)",
                                                             "btnBrowse(2)", "Command1", "Option2"));
}

TYPED_TEST_P(WindowContract, StartsWithTheStoredPathsAndThePlayablePolicy) {
  this->settings.values = {{"Settings/Source", "  C:\\new keys.ini  "}, {"Settings/File", "/home/u/O.ini"}};
  ASSERT_TRUE(this->window.form().Form_Load());
  EXPECT_EQ(this->box(1), "  C:\\new keys.ini  ");
  EXPECT_EQ(this->box(2), "/home/u/O.ini");
  EXPECT_TRUE(this->window.controls().isSelected("Option2"));
  EXPECT_FALSE(this->window.controls().isSelected("Option1") ||
               this->window.controls().isSelected("Option3"));
}

TYPED_TEST_P(WindowContract, ASecondInstanceEndsWithoutReadingSettings) {
  this->settings.values = {{"Settings/Source", "a.ini"}};
  this->instance.taken = true;
  EXPECT_FALSE(this->window.form().Form_Load());
  EXPECT_EQ(this->box(1), "");
}

TYPED_TEST_P(WindowContract, ClosingStoresBothBoxesExactly) {
  ASSERT_TRUE(this->window.form().Form_Load());
  this->setBox(1, " /lists/new.ini ");
  this->setBox(2, "");
  this->window.close();
  EXPECT_EQ(this->settings.values, (std::map<std::string, std::string>{
                                       {"Settings/Source", " /lists/new.ini "}, {"Settings/File", ""}}));
}

TYPED_TEST_P(WindowContract, BrowseFillsItsOwnBoxAndACancelEmptiesIt) {
  this->setBox(1, "old");
  this->setBox(2, "old");
  this->dialogs.answers = {"/lists/chosen.ini", std::nullopt};
  this->window.click("btnBrowse(2)");
  EXPECT_EQ(this->box(2), "/lists/chosen.ini");
  this->window.click("btnBrowse(1)");
  EXPECT_EQ(this->box(1), "");
  ASSERT_EQ(this->dialogs.opens.size(), 2u);
  const FileDialogRequest& request = this->dialogs.opens[0];
  EXPECT_EQ(request.owner, this->window.controls().owner());
  EXPECT_EQ(request.title, u"Select a ombrix ini file");
  EXPECT_EQ(request.initialDir, u"c:\\");
  EXPECT_EQ(request.filterList,
            std::u16string(u"Ombrix ini files (*.ini)\0*.ini\0All files (*.*)\0*.*\0\0", 52));
}

TYPED_TEST_P(WindowContract, MergeWithAnEmptyBoxOpensThatBoxsBrowseDialog) {
  const std::string list = this->file("list.ini", "[G]\r\n");
  for (const int empty : {1, 2}) {
    this->setBox(1, list);
    this->setBox(2, list);
    this->setBox(empty, "");
    this->dialogs.answers = {"/picked.ini"};
    this->window.click("Command1");
    EXPECT_EQ(this->box(empty), "/picked.ini");
  }
  EXPECT_EQ(this->dialogs.opens.size(), 2u);
  EXPECT_TRUE(this->dialogs.saves.empty());
  EXPECT_TRUE(this->messages.shown.empty());
}

// A refusal is a message with the caption as its title, before the output is asked for.
TYPED_TEST_P(WindowContract, RefusalsAreMessagesBeforeTheOutputIsAskedFor) {
  this->fillBoxesWithSampleLists();
  this->setBox(2, this->box(1));
  this->window.click("Command1");
  EXPECT_EQ(this->messages.shown, std::vector<ShownMessage>{information("Both files are the same.")});
  EXPECT_TRUE(this->dialogs.saves.empty());
}

TYPED_TEST_P(WindowContract, ACancelledSaveDialogEndsQuietly) {
  this->fillBoxesWithSampleLists();
  this->dialogs.answers = {std::nullopt};
  this->window.click("Command1");
  EXPECT_TRUE(this->messages.shown.empty());
  EXPECT_EQ(readFile(this->dir / "Mine.ini"), readFile(this->sample("file_to_update.ini")));
  ASSERT_EQ(this->dialogs.saves.size(), 1u);
  EXPECT_EQ(this->dialogs.saves[0].title, u"Save merged ini as");
  EXPECT_EQ(this->dialogs.saves[0].initialDir, toUtf16(this->box(2)));
}

// A list that took every new value keeps the new keys as its base, as after the same command line merge.
TYPED_TEST_P(WindowContract, EachOptionWritesWhatTheCommandLineWrites) {
  this->fillBoxesWithSampleLists();
  for (const std::string policy : {"replace-all", "keep-playable", "keep-existing"}) {
    this->window.click(policy == "replace-all"     ? "Option1"
                       : policy == "keep-playable" ? "Option2"
                                                   : "Option3");
    this->dialogs.answers = {textOfPath(this->dir / (policy + ".ini"))};
    this->window.click("Command1");
    EXPECT_EQ(readFile(this->dir / (policy + ".ini")), readFile(this->sample("expected-" + policy + ".ini")));
  }
  EXPECT_EQ(readFile(this->dir / "Mine.ini"), readFile(this->sample("file_to_update.ini")));
  const BaseStore bases(BaseStore::defaultFolder());
  ASSERT_TRUE(bases.baseOf(this->dir / "replace-all.ini"));
  EXPECT_EQ(readFile(*bases.baseOf(this->dir / "replace-all.ini")), readFile(this->sample("new_keys.ini")));
  EXPECT_EQ(this->window.controls().text("Label1"), form::kDescription);
}

// The fourth option keeps the user's edits. With no base kept for the list, the window asks for the list it
// last took its keys from: a cancel writes nothing, a base that cannot be used is told by name, and the
// chosen one gives the command's bytes and count.
TYPED_TEST_P(WindowContract, TheFourthOptionKeepsMyEditsAgainstTheListItLastTook) {
  this->fillBoxesWithSampleLists();
  this->window.click("Option4");
  this->dialogs.answers = {std::nullopt};
  this->window.click("Command1");
  EXPECT_EQ(this->messages.shown, std::vector<ShownMessage>{information(
                                      "No earlier merge of '" + this->box(2) +
                                      "' is known. Choose the copy of the list with the new keys that it last "
                                      "took its keys from.")});
  ASSERT_EQ(this->dialogs.opens.size(), 1u);
  EXPECT_EQ(this->dialogs.opens[0].title, u"Choose the list it last took its keys from");
  EXPECT_TRUE(this->dialogs.saves.empty());

  const std::string empty = this->file("empty.ini", "");
  this->dialogs.answers = {empty};
  this->window.click("Command1");
  EXPECT_EQ(this->messages.shown.back(),
            information(unusableFileMessage({3, pathFromText(empty), FileProblem::Empty})));

  // A base that is the list as it stands: no key is the user's own edit, so every newer value is taken, as
  // replace-all takes them, and only the keys whose values change are counted.
  const std::string base = this->file("old_keys.ini", readFile(this->sample("file_to_update.ini")));
  this->dialogs.answers = {base, textOfPath(this->dir / "kept.ini")};
  this->window.click("Command1");
  EXPECT_EQ(readFile(this->dir / "kept.ini"), readFile(this->sample("expected-replace-all.ini")));
  EXPECT_THAT(this->messages.shown.back().text, StartsWith(changeCountMessage(5) + "\n"));
}

// The result lists the changes on request. A merge in place that changed something offers Undo, which puts
// the list and its kept base back; a merge into another file, or one that changed nothing, offers none.
TYPED_TEST_P(WindowContract, AMergeInPlaceCanBeUndoneFromItsResult) {
  this->fillBoxesWithSampleLists();
  this->window.click("Option1");
  const std::string mine = this->box(2);
  this->dialogs.answers = {textOfPath(this->dir / "other.ini"), mine, mine, mine};
  this->window.click("Command1");
  this->messages.chooseUndo = true;
  this->window.click("Command1");
  EXPECT_EQ(readFile(this->dir / "Mine.ini"), readFile(this->sample("file_to_update.ini")));
  EXPECT_EQ(this->messages.shown.back().icon, MessageIcon::Information);
  this->messages.chooseUndo = false;
  this->window.click("Command1");  // in place again, then once more: the second changes nothing
  this->window.click("Command1");
  const auto& results = this->messages.results;
  ASSERT_EQ(results.size(), 4u);
  EXPECT_THAT(results[0].details, testing::HasSubstr("[G2]\n  ~ Comment: Unplayable -> Playable\n"));
  EXPECT_EQ((std::vector<bool>{results[0].offersUndo, results[1].offersUndo, results[2].offersUndo,
                               results[3].offersUndo}),
            (std::vector<bool>{false, true, true, false}));
}

TYPED_TEST_P(WindowContract, AFailedMergeReportsTheCountAndSaysWhatReachedTheDisk) {
  this->fillBoxesWithSampleLists();
  // A folder where the output should go: the merged list cannot replace it.
  const std::filesystem::path nowhere = this->dir / "a-folder";
  std::filesystem::create_directory(nowhere);
  this->dialogs.answers = {textOfPath(nowhere)};
  this->window.click("Command1");
  ASSERT_EQ(this->messages.shown.size(), 2u);
  EXPECT_EQ(this->messages.shown[0], information("0 lines changed."));
  EXPECT_EQ(this->messages.shown[1].icon, MessageIcon::Warning);
}

TYPED_TEST_P(WindowContract, AFileDroppedOnAPathBoxFillsIt) {
  this->window.drop("txtSource(2)", "/Spiele/Liste für Ömer.ini");
  EXPECT_EQ(this->box(2), "/Spiele/Liste für Ömer.ini");
  EXPECT_EQ(this->box(1), "");
}

TYPED_TEST_P(WindowContract, TheCreditLabelOpensTheHomePage) {
  this->window.click("Label4");
  EXPECT_THAT(this->shell.opened, testing::ElementsAre("https://quillane.example/"));
}

REGISTER_TYPED_TEST_SUITE_P(WindowContract, IsBuiltFromTheFormsDescription,
                            StartsWithTheStoredPathsAndThePlayablePolicy,
                            ASecondInstanceEndsWithoutReadingSettings, ClosingStoresBothBoxesExactly,
                            BrowseFillsItsOwnBoxAndACancelEmptiesIt,
                            MergeWithAnEmptyBoxOpensThatBoxsBrowseDialog,
                            RefusalsAreMessagesBeforeTheOutputIsAskedFor, ACancelledSaveDialogEndsQuietly,
                            EachOptionWritesWhatTheCommandLineWrites,
                            TheFourthOptionKeepsMyEditsAgainstTheListItLastTook,
                            AMergeInPlaceCanBeUndoneFromItsResult,
                            AFailedMergeReportsTheCountAndSaysWhatReachedTheDisk,
                            AFileDroppedOnAPathBoxFillsIt, TheCreditLabelOpensTheHomePage);

}  // namespace ombrix::test
