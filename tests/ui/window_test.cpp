#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>

#include "merge/base_store.h"
#include "test_support.h"
#include "ui/form_description.h"
#include "ui/qt/qt_services.h"
#include "ui/qt/qt_window.h"
#include "ui_fakes.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using testing::ElementsAre;

const fs::path kSample = fs::path(OMBRIX_TEST_DATA_DIR) / "sample";
const QString kCaption = QStringLiteral("Ombrix Ini Files Merger 1.1b");
using test::information;

QString toQString(const fs::path& path) {
  return QString::fromStdString(path.string());
}
fs::path toPath(const QString& text) {
  return fs::path(text.toStdString());
}

class Window : public testing::Test {
 protected:
  test::TempDir dir;
  QSettings qsettings{toQString(dir / "settings.ini"), QSettings::IniFormat};
  QtSettingsStore settings{qsettings};
  LockFileInstance instance{toQString(dir / "instance.lock")};
  test::ScriptedDialogs dialogs;
  test::RecordingMessages messages;
  test::RecordingShell shell;
  QtMergerWindow window{WindowServices{&dialogs, &messages, &settings, &instance, &shell}};

  template <typename Widget = QWidget>
  Widget* find(const char* name) {
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* box(int index) { return find<QLineEdit>(index == 1 ? "txtSource(1)" : "txtSource(2)"); }

  void storeSettings(const QString& source, const QString& file) {
    qsettings.setValue(QStringLiteral("Settings/Source"), source);
    qsettings.setValue(QStringLiteral("Settings/File"), file);
    qsettings.sync();
  }

  // Copies of the sample lists in the boxes: the new keys in box 1, the user's list in box 2.
  void fillBoxesWithSampleLists() {
    box(1)->setText(toQString(dir.file("new_keys.ini", readFile(kSample / "new_keys.ini"))));
    box(2)->setText(toQString(dir.file("Mine.ini", readFile(kSample / "file_to_update.ini"))));
  }
};

TEST_F(Window, StartsWithTheStoredPathsAndThePlayablePolicy) {
  storeSettings(QStringLiteral("  C:\\new keys.ini  "), QStringLiteral("/home/u/Ombrix.ini"));
  ASSERT_TRUE(window.form().Form_Load());
  window.showCentred();
  QApplication::processEvents();
  EXPECT_EQ(box(1)->text(), QStringLiteral("  C:\\new keys.ini  "));
  EXPECT_EQ(box(2)->text(), QStringLiteral("/home/u/Ombrix.ini"));
  EXPECT_TRUE(find<QRadioButton>("Option2")->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), box(1));
  EXPECT_EQ(window.windowTitle(), kCaption);
}

TEST_F(Window, SecondInstanceEndsWithoutReadingSettings) {
  storeSettings(QStringLiteral("a.ini"), QStringLiteral("b.ini"));
  LockFileInstance first(toQString(dir / "instance.lock"));
  ASSERT_TRUE(first.acquire());
  EXPECT_FALSE(window.form().Form_Load());
  EXPECT_EQ(box(1)->text(), QString());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Window, ClosingStoresBothBoxesExactly) {
  ASSERT_TRUE(window.form().Form_Load());
  box(1)->setText(QStringLiteral(" /lists/new.ini "));
  box(2)->setText(QString());
  window.show();
  bool announced = false;
  QObject::connect(&window, &QtMergerWindow::closed, [&announced] { announced = true; });
  window.close();
  EXPECT_TRUE(announced) << "the program ends on this";
  const QSettings stored(toQString(dir / "settings.ini"), QSettings::IniFormat);
  EXPECT_EQ(stored.value(QStringLiteral("Settings/Source")).toString(), QStringLiteral(" /lists/new.ini "));
  EXPECT_TRUE(stored.contains(QStringLiteral("Settings/File")));
  EXPECT_EQ(stored.value(QStringLiteral("Settings/File")).toString(), QString());
}

TEST_F(Window, BrowseFillsItsOwnBoxAndACancelEmptiesIt) {
  box(1)->setText(QStringLiteral("old"));
  box(2)->setText(QStringLiteral("old"));
  dialogs.answers = {"/lists/chosen.ini", std::nullopt};
  find<QPushButton>("btnBrowse(2)")->click();
  EXPECT_EQ(box(2)->text(), QStringLiteral("/lists/chosen.ini"));
  find<QPushButton>("btnBrowse(1)")->click();
  EXPECT_EQ(box(1)->text(), QString());

  ASSERT_EQ(dialogs.opens.size(), 2u);
  const FileDialogRequest& request = dialogs.opens[0];
  EXPECT_EQ(request.owner, static_cast<QWidget*>(&window));
  EXPECT_EQ(request.title, u"Select a ombrix ini file");
  EXPECT_EQ(request.initialDir, u"c:\\");
  EXPECT_EQ(
      QString::fromStdU16String(request.filterList),
      QStringLiteral("Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*||").replace(u'|', QChar(u'\0')));
}

// The description places every control; Tab goes round them in its order.
TEST_F(Window, IsBuiltFromTheFormsDescription) {
  EXPECT_EQ(window.size(), QSize(375, 258));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window cannot be resized";
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
  for (const form::Control& control : form::kControls) {
    const std::string name(control.name);
    QWidget* widget = find(name.c_str());
    ASSERT_NE(widget, nullptr);
    const form::Rect pixels = form::pixels(control.twips);
    EXPECT_EQ(widget->geometry(), QRect(pixels.left, pixels.top, pixels.width, pixels.height)) << name;
    EXPECT_EQ(widget->parentWidget()->objectName(),
              control.parent.empty() ? QStringLiteral("formOmbrixMerger") : QStringLiteral("Frame1"));
    const QVariant text = widget->property(widget->inherits("QGroupBox") ? "title" : "text");
    if (text.isValid() && control.kind != form::Kind::Picture) {
      EXPECT_EQ(text.toString().toStdString(), control.text) << name;
    }
  }
  std::vector<QString> order;
  for (QWidget* widget = box(1); order.size() < 8; widget = widget->nextInFocusChain()) {
    if ((widget->focusPolicy() & Qt::TabFocus) != 0 && !widget->objectName().isEmpty()) {
      order.push_back(widget->objectName());
    }
  }
  EXPECT_THAT(order, ElementsAre("txtSource(1)", "btnBrowse(1)", "txtSource(2)", "btnBrowse(2)", "Command1",
                                 "Option2", "Option1", "Option3"));
  EXPECT_TRUE(find<QLabel>("Label1")->wordWrap());
  EXPECT_FALSE(find<QLabel>("Image1")->pixmap().isNull()) << "the logo is compiled in";
  EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(Window, CreditLabelOpensTheHomePageOnALeftClick) {
  auto* credit = find<QLabel>("Label4");
  window.show();
  const QPointF inside(5, 5);
  for (const Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
    QMouseEvent press(QEvent::MouseButtonPress, inside, credit->mapToGlobal(inside), button, button,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, credit->mapToGlobal(inside), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(credit, &press);
    QApplication::sendEvent(credit, &release);
  }
  EXPECT_THAT(shell.opened, ElementsAre("https://quillane.example/"));
}

TEST_F(Window, MergeWithAnEmptyBoxOpensThatBoxsBrowseDialog) {
  const QString list = toQString(dir.file("list.ini", "[G]\r\n"));
  for (const int empty : {1, 2}) {
    box(1)->setText(list);
    box(2)->setText(list);
    box(empty)->clear();
    dialogs.answers = {"/picked.ini"};
    find<QPushButton>("Command1")->click();
    EXPECT_EQ(box(empty)->text(), QStringLiteral("/picked.ini"));
  }
  EXPECT_EQ(dialogs.opens.size(), 2u);
  EXPECT_TRUE(dialogs.saves.empty());
  EXPECT_TRUE(messages.shown.empty());
}

// A refusal is a message with the caption as its title, before the output is asked for.
TEST_F(Window, RefusalsAreMessagesBeforeTheOutputIsAskedFor) {
  fillBoxesWithSampleLists();
  const fs::path unix = dir.file("unix.ini", "[G1]\nSpeed=1\n\n");
  const std::pair<QString, std::string> cases[] = {{box(1)->text(), "Both files are the same."},
                                                   {toQString(unix), "CR LF"}};
  for (const auto& [list, words] : cases) {
    box(2)->setText(list);
    messages.shown.clear();
    window.form().Command1_Click();
    ASSERT_EQ(messages.shown.size(), 1u) << words;
    EXPECT_EQ(messages.shown[0].title, kCaption.toStdString());
    EXPECT_THAT(messages.shown[0].text, testing::HasSubstr(words));
  }
  EXPECT_TRUE(dialogs.saves.empty());
  EXPECT_EQ(readFile(unix), "[G1]\nSpeed=1\n\n");
}

TEST_F(Window, CancelledSaveDialogEndsQuietly) {
  fillBoxesWithSampleLists();
  dialogs.answers = {std::nullopt};
  window.form().Command1_Click();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(readFile(toPath(box(2)->text())), readFile(kSample / "file_to_update.ini"));
  ASSERT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(dialogs.saves[0].title, u"Save merged ini as");
  EXPECT_EQ(dialogs.saves[0].initialDir, box(2)->text().toStdU16String());
}

TEST_F(Window, EachOptionWritesWhatTheCommandLineWrites) {
  const std::pair<const char*, const char*> options[] = {
      {"Option1", "replace-all"}, {"Option2", "keep-playable"}, {"Option3", "keep-existing"}};
  fillBoxesWithSampleLists();
  for (const auto& [option, policy] : options) {
    find<QRadioButton>(option)->click();
    const fs::path output = dir / (std::string(policy) + ".ini");
    dialogs.answers = {output.string()};
    window.form().Command1_Click();
    EXPECT_EQ(readFile(output), readFile(kSample / ("expected-" + std::string(policy) + ".ini"))) << option;
  }
  EXPECT_EQ(readFile(dir / "Mine.ini"), readFile(kSample / "file_to_update.ini"));
  // A list that took every new value keeps the new keys as its base, as after the same command line merge.
  const BaseStore bases(BaseStore::defaultFolder());
  ASSERT_TRUE(bases.baseOf(dir / "replace-all.ini"));
  EXPECT_EQ(readFile(*bases.baseOf(dir / "replace-all.ini")), readFile(kSample / "new_keys.ini"));
  EXPECT_FALSE(bases.baseOf(dir / "keep-playable.ini"));
}

// What the label shows each time it is painted during the merge, and once the count is shown.
TEST_F(Window, ShowsTheLineNumberWhileMergingAndItsCaptionAfter) {
  std::string newKeys = "[G]\r\n";
  for (int i = 0; i < 3000; ++i) {
    newKeys += "Key" + std::to_string(i) + "=1\r\n";
  }
  box(1)->setText(toQString(dir.file("new.ini", newKeys)));
  box(2)->setText(toQString(dir.file("mine.ini", "[G]\r\nKey0=0\r\n\r\n")));
  dialogs.answers = {(dir / "out.ini").string()};
  window.show();
  QApplication::processEvents();
  struct PaintRecorder : QObject {
    std::vector<QString> painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Paint) {
        painted.push_back(static_cast<QLabel*>(watched)->text());
      }
      return false;
    }
  } recorder;
  auto* label = find<QLabel>("Label1");
  label->installEventFilter(&recorder);
  QString captionWhileMessageShown;
  messages.whileShown = [&] { captionWhileMessageShown = label->text(); };
  window.form().Command1_Click();
  label->removeEventFilter(&recorder);
  ASSERT_FALSE(recorder.painted.empty());
  EXPECT_EQ(recorder.painted.front(), QStringLiteral("Processing line 1"));
  EXPECT_TRUE(std::all_of(recorder.painted.begin(), recorder.painted.end(), [](const QString& text) {
    return text.startsWith(QStringLiteral("Processing line "));
  }));
  EXPECT_TRUE(captionWhileMessageShown.startsWith(QStringLiteral("This tool merges")));
  EXPECT_EQ(messages.shown.back().text, "3000 lines changed.");
}

TEST_F(Window, AFailedMergeReportsTheCountAndSaysWhatReachedTheDisk) {
  fillBoxesWithSampleLists();
  // A folder where the output should go: the merged list cannot replace it.
  const fs::path nowhere = dir / "a-folder";
  fs::create_directory(nowhere);
  dialogs.answers = {nowhere.string()};
  window.form().Command1_Click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0], information("0 lines changed."));
  EXPECT_EQ(messages.shown[1].icon, MessageIcon::Warning);
  EXPECT_EQ(messages.shown[1].text, "Could not write the merged list to '" + nowhere.string() +
                                        "'. Nothing was written to '" + nowhere.string() + "'.");
}

TEST_F(Window, AFileDroppedOnAPathBoxFillsIt) {
  window.show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral("/lists/dropped list.ini"))});
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  // Delivered as the window system delivers it at the end of a drag.
  static_cast<QObject*>(box(2))->event(&drop);
  EXPECT_EQ(box(2)->text(), QStringLiteral("/lists/dropped list.ini"));
}

}  // namespace
}  // namespace ombrix
