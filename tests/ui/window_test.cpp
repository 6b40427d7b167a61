#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>

#include "test_support.h"
#include "ui/form_ombrix_merger.h"
#include "ui/path_text.h"
#include "ui_fakes.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using testing::ElementsAre;

const fs::path kSample = fs::path(OMBRIX_TEST_DATA_DIR) / "sample";
const QString kCaption = QStringLiteral("Ombrix Ini Files Merger 1.1b");

class Window : public testing::Test {
 protected:
  test::TempDir dir;
  QSettings settings{toQString(dir / "settings.ini"), QSettings::IniFormat};
  SingleInstance instance{toQString(dir / "instance.lock")};
  test::ScriptedDialogs dialogs;
  test::RecordingMessages messages;
  formOmbrixMerger window{WindowServices{&dialogs, &messages, &settings, &instance}};

  template <typename Widget = QWidget>
  Widget* find(const char* name) {
    auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QLineEdit* box(int index) { return find<QLineEdit>(index == 1 ? "txtSource(1)" : "txtSource(2)"); }

  void storeSettings(const QString& source, const QString& file) {
    settings.setValue(QStringLiteral("Settings/Source"), source);
    settings.setValue(QStringLiteral("Settings/File"), file);
    settings.sync();
  }

  // Copies of the sample lists in the boxes: the new keys in box 1, the user's list in box 2.
  void fillBoxesWithSampleLists() {
    box(1)->setText(toQString(dir.file("new_keys.ini", readFile(kSample / "new_keys.ini"))));
    box(2)->setText(toQString(dir.file("Mine.ini", readFile(kSample / "file_to_update.ini"))));
  }
};

TEST_F(Window, StartsWithTheStoredPathsAndThePlayablePolicy) {
  storeSettings(QStringLiteral("  C:\\new keys.ini  "), QStringLiteral("/home/u/Ombrix.ini"));
  ASSERT_TRUE(window.Form_Load());
  window.showCentred();
  QApplication::processEvents();
  EXPECT_EQ(box(1)->text(), QStringLiteral("  C:\\new keys.ini  "));
  EXPECT_EQ(box(2)->text(), QStringLiteral("/home/u/Ombrix.ini"));
  EXPECT_TRUE(find<QRadioButton>("Option2")->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), box(1));
  EXPECT_EQ(window.windowTitle(), kCaption);
}

TEST_F(Window, FirstStartWithoutSettingsHasEmptyBoxes) {
  ASSERT_TRUE(window.Form_Load());
  EXPECT_EQ(box(1)->text(), QString());
  EXPECT_EQ(box(2)->text(), QString());
}

TEST_F(Window, SecondInstanceEndsWithoutReadingSettings) {
  storeSettings(QStringLiteral("a.ini"), QStringLiteral("b.ini"));
  SingleInstance first(toQString(dir / "instance.lock"));
  ASSERT_TRUE(first.acquire());
  EXPECT_FALSE(window.Form_Load());
  EXPECT_EQ(box(1)->text(), QString());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Window, ClosingStoresBothBoxesExactly) {
  ASSERT_TRUE(window.Form_Load());
  box(1)->setText(QStringLiteral(" /lists/new.ini "));
  box(2)->setText(QString());
  window.show();
  bool announced = false;
  QObject::connect(&window, &formOmbrixMerger::closed, [&announced] { announced = true; });
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
  dialogs.answers = {QStringLiteral("/lists/chosen.ini"), std::nullopt};
  find<QPushButton>("btnBrowse(2)")->click();
  EXPECT_EQ(box(2)->text(), QStringLiteral("/lists/chosen.ini"));
  find<QPushButton>("btnBrowse(1)")->click();
  EXPECT_EQ(box(1)->text(), QString());

  ASSERT_EQ(dialogs.opens.size(), 2u);
  const FileDialogRequest& request = dialogs.opens[0];
  EXPECT_EQ(request.owner, &window);
  EXPECT_EQ(request.title, QStringLiteral("Select a ombrix ini file"));
  EXPECT_EQ(request.initialDir, QStringLiteral("c:\\"));
  EXPECT_EQ(request.flags, 4100u);
  EXPECT_EQ(
      request.filterList,
      QStringLiteral("Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*||").replace(u'|', QChar(u'\0')));
}

struct ControlRow {
  const char* name;
  const char* text;
  QRect pixels;
};

TEST_F(Window, ControlsStandWhereTheLayoutPutsThem) {
  EXPECT_EQ(window.size(), QSize(375, 258));
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the window cannot be resized";
  EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool));
  EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
  const ControlRow rows[] = {
      {"Image1", nullptr, {2, 4, 50, 53}},
      {"Label2", "Ombrix.ini File with the New Keys:", {60, 15, 284, 21}},
      {"txtSource(1)", nullptr, {59, 30, 282, 24}},
      {"btnBrowse(1)", "...", {342, 29, 20, 23}},
      {"Label3", "Ombrix.ini File to be Updated:", {60, 60, 280, 21}},
      {"txtSource(2)", nullptr, {59, 75, 282, 24}},
      {"btnBrowse(2)", "...", {341, 75, 20, 23}},
      {"Label1",
       "This tool merges two Ombrix.ini file into a single one, avoiding to lose your changes when you "
       "update your Ombrix.ini with new versions.",
       {5, 108, 224, 41}},
      {"Command1", "Merge >>", {235, 111, 128, 49}},
      {"Label4", "Created By Quillane", {6, 151, 148, 18}},
      {"Frame1", "Options", {5, 170, 362, 80}},
      {"Option2", "Do not replace games that are already playable", {10, 18, 337, 16}},
      {"Option1", "Replace the INI with the new values", {10, 37, 337, 16}},
      {"Option3", "Do not replace if game already exists in the INI", {10, 57, 337, 16}},
  };
  for (const ControlRow& row : rows) {
    QWidget* widget = find(row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), row.pixels) << row.name;
    if (row.text != nullptr) {
      const QVariant text = widget->property(widget->inherits("QGroupBox") ? "title" : "text");
      EXPECT_EQ(text.toString(), QString::fromLatin1(row.text)) << row.name;
    }
  }
  for (const char* option : {"Option1", "Option2", "Option3"}) {
    EXPECT_EQ(find(option)->parentWidget(), find("Frame1")) << option;
  }
  EXPECT_TRUE(find<QLabel>("Label1")->wordWrap());
  EXPECT_FALSE(find<QLabel>("Image1")->pixmap().isNull()) << "the logo is compiled in";
  EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(Window, TabOrderFollowsTheLayout) {
  std::vector<QString> order;
  QWidget* widget = box(1);
  while (order.size() < 8) {
    if ((widget->focusPolicy() & Qt::TabFocus) != 0 && !widget->objectName().isEmpty()) {
      order.push_back(widget->objectName());
    }
    widget = widget->nextInFocusChain();
  }
  EXPECT_THAT(order, ElementsAre("txtSource(1)", "btnBrowse(1)", "txtSource(2)", "btnBrowse(2)", "Command1",
                                 "Option2", "Option1", "Option3"));
}

TEST_F(Window, OptionsAreOneGroup) {
  find<QRadioButton>("Option3")->click();
  EXPECT_FALSE(find<QRadioButton>("Option2")->isChecked());
  find<QRadioButton>("Option1")->click();
  EXPECT_FALSE(find<QRadioButton>("Option3")->isChecked());
  EXPECT_TRUE(find<QRadioButton>("Option1")->isChecked());
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  std::vector<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

TEST_F(Window, CreditLabelLooksLikeALinkAndOpensTheHomePage) {
  auto* credit = find<QLabel>("Label4");
  EXPECT_EQ(credit->toolTip(), QStringLiteral("https://quillane.example"));
  EXPECT_TRUE(credit->font().underline());
  EXPECT_DOUBLE_EQ(credit->font().pointSizeF(), 6.75);
  EXPECT_EQ(credit->font().weight(), QFont::Normal);
  EXPECT_EQ(credit->palette().color(QPalette::WindowText), QColor(0, 0, 255));

  UrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
  window.show();
  const QPointF inside(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, inside, credit->mapToGlobal(inside), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, inside, credit->mapToGlobal(inside), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(credit, &press);
  QApplication::sendEvent(credit, &release);
  QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
  EXPECT_THAT(catcher.opened, ElementsAre(QUrl(QStringLiteral("https://quillane.example/"))));
}

TEST_F(Window, FileHasContentNeedsAtLeastOneByte) {
  EXPECT_TRUE(window.FileHasContent(toQString(dir.file("one.ini", "x"))));
  EXPECT_FALSE(window.FileHasContent(toQString(dir.file("empty.ini", ""))));
  EXPECT_FALSE(window.FileHasContent(toQString(dir / "missing.ini")));
}

TEST_F(Window, MergeWithAnEmptyBoxOpensThatBoxsBrowseDialog) {
  box(2)->setText(QStringLiteral("/not/looked/at.ini"));
  dialogs.answers = {QStringLiteral("/picked.ini")};
  find<QPushButton>("Command1")->click();
  EXPECT_EQ(dialogs.opens.size(), 1u);
  EXPECT_TRUE(dialogs.saves.empty());
  EXPECT_EQ(box(1)->text(), QStringLiteral("/picked.ini"));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Window, SameFileIsRefusedWithAMessage) {
  fillBoxesWithSampleLists();
  box(2)->setText(box(1)->text());
  window.Command1_Click();
  EXPECT_THAT(messages.shown, ElementsAre(test::ShownMessage{"information", kCaption,
                                                             QStringLiteral("Both files are the same.")}));
  EXPECT_TRUE(dialogs.saves.empty());
}

TEST_F(Window, ListWithLfLineEndsIsRefusedWithAMessageThatSaysWhatToDo) {
  fillBoxesWithSampleLists();
  test::writeFile(toPath(box(2)->text()), "[G1]\nSpeed=1\n\n");
  window.Command1_Click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].title, kCaption);
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("CR LF")));
  EXPECT_TRUE(dialogs.saves.empty()) << "refused before the output is asked for";
  EXPECT_EQ(readFile(toPath(box(2)->text())), "[G1]\nSpeed=1\n\n");
}

TEST_F(Window, CancelledSaveDialogEndsQuietly) {
  fillBoxesWithSampleLists();
  dialogs.answers = {std::nullopt};
  window.Command1_Click();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(readFile(toPath(box(2)->text())), readFile(kSample / "file_to_update.ini"));
  ASSERT_EQ(dialogs.saves.size(), 1u);
  EXPECT_EQ(dialogs.saves[0].title, QStringLiteral("Save merged ini as"));
  EXPECT_EQ(dialogs.saves[0].initialDir, box(2)->text());
  EXPECT_TRUE(dialogs.saves[0].nameBuffer.startsWith(box(2)->text() + u' '));
  EXPECT_EQ(dialogs.saves[0].flags, 8198u);
}

TEST_F(Window, MergesInPlaceWithABackupAndReportsTheCount) {
  fillBoxesWithSampleLists();
  dialogs.answers = {box(2)->text()};
  window.Command1_Click();
  EXPECT_THAT(messages.shown,
              ElementsAre(test::ShownMessage{"information", kCaption, QStringLiteral("3 lines changed.")}));
  EXPECT_EQ(readFile(dir / "Mine.ini"), readFile(kSample / "expected-keep-playable.ini"));
  EXPECT_EQ(readFile(dir / "Mine.bak"), readFile(kSample / "file_to_update.ini"));
  EXPECT_TRUE(find<QLabel>("Label1")->text().startsWith(QStringLiteral("This tool merges")));
}

TEST_F(Window, EachOptionWritesWhatTheCommandLineWrites) {
  const std::pair<const char*, const char*> options[] = {
      {"Option1", "replace-all"}, {"Option2", "keep-playable"}, {"Option3", "keep-existing"}};
  fillBoxesWithSampleLists();
  for (const auto& [option, policy] : options) {
    find<QRadioButton>(option)->click();
    const fs::path output = dir / (std::string(policy) + ".ini");
    dialogs.answers = {toQString(output)};
    window.Command1_Click();
    EXPECT_EQ(readFile(output), readFile(kSample / ("expected-" + std::string(policy) + ".ini"))) << option;
  }
  EXPECT_EQ(readFile(dir / "Mine.ini"), readFile(kSample / "file_to_update.ini"));
}

TEST_F(Window, ShowsTheLineNumberWhileMergingAndItsCaptionAfter) {
  std::string newKeys = "[G]\r\n";
  for (int i = 0; i < 3000; ++i) {
    newKeys += "Key" + std::to_string(i) + "=1\r\n";
  }
  box(1)->setText(toQString(dir.file("new.ini", newKeys)));
  box(2)->setText(toQString(dir.file("mine.ini", "[G]\r\nKey0=0\r\n\r\n")));
  dialogs.answers = {toQString(dir / "out.ini")};
  find<QRadioButton>("Option1")->click();
  window.show();
  QApplication::processEvents();

  // What the label shows each time it is painted during the merge.
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
  window.Command1_Click();
  label->removeEventFilter(&recorder);

  ASSERT_FALSE(recorder.painted.empty());
  EXPECT_EQ(recorder.painted.front(), QStringLiteral("Processing line 1"));
  for (const QString& text : recorder.painted) {
    EXPECT_TRUE(text.startsWith(QStringLiteral("Processing line "))) << text.toStdString();
  }
  EXPECT_TRUE(captionWhileMessageShown.startsWith(QStringLiteral("This tool merges")));
  EXPECT_EQ(messages.shown.back().text, QStringLiteral("3000 lines changed."));
}

TEST_F(Window, FailedCopyReportsTheCountAndSaysWhy) {
  fillBoxesWithSampleLists();
  dialogs.answers = {toQString(dir / "no-folder" / "out.ini")};
  window.Command1_Click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0],
            (test::ShownMessage{"information", kCaption, QStringLiteral("0 lines changed.")}));
  EXPECT_EQ(messages.shown[1].icon, QStringLiteral("warning"));
  EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("no-folder")));
}

}  // namespace
}  // namespace ombrix

#include "window_test.moc"
