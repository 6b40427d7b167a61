#include "ui/file_dialogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include "test_support.h"
#include "ui/path_text.h"
#include "ui_fakes.h"

namespace ombrix {
namespace {

using testing::ElementsAre;

QString nul(QString visible) {
  return visible.replace(u'|', QChar(u'\0'));
}

TEST(FileDialogLogic, ConvertsTheFilterToANulSeparatedList) {
  EXPECT_EQ(convertFilter(QStringLiteral("Ombrix Ini File (*.ini)|*.ini")),
            nul(QStringLiteral("Ombrix Ini File (*.ini)|*.ini|")));
  EXPECT_EQ(convertFilter(QStringLiteral("Ombrix Ini File (*.ini)|*.ini")).size(), 30);
  EXPECT_EQ(convertFilter(QStringLiteral("A|*.a|")), nul(QStringLiteral("A|*.a|")));
  EXPECT_EQ(convertFilter(QString()), nul(QStringLiteral("|")));
}

TEST(FileDialogLogic, ReadsQtFiltersFromTheList) {
  EXPECT_THAT(qtNameFilters(nul(QStringLiteral("Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*||"))),
              ElementsAre("Ombrix ini files (*.ini)", "All files (*)"));
  EXPECT_THAT(qtNameFilters(nul(QStringLiteral("Lists|*.ini;*.txt||"))), ElementsAre("Lists (*.ini *.txt)"));
  EXPECT_TRUE(qtNameFilters(nul(QStringLiteral("||"))).isEmpty());
}

TEST(FileDialogLogic, ResultIsTheBufferUpToItsNulWithoutSpaces) {
  EXPECT_EQ(resultFromNameBuffer(nul(QStringLiteral("  /a b.ini  |rest of an older name"))),
            QStringLiteral("/a b.ini"));
  EXPECT_EQ(resultFromNameBuffer(QStringLiteral("\t/x.ini ")), QStringLiteral("\t/x.ini"));
}

TEST(FileDialogLogic, SaveDialogProposesTheNameAndReturnsOnlyTheChoice) {
  test::ScriptedDialogs dialogs;
  dialogs.answers = {QStringLiteral("C:\\x.ini"), std::nullopt,
                     QStringLiteral("C:\\Games\\Ombrix\\Ombrix.ini")};
  const QString proposed = QStringLiteral("C:\\Games\\Ombrix\\Ombrix.ini");
  EXPECT_EQ(SaveDialog(dialogs, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), proposed, proposed),
            QStringLiteral("C:\\x.ini"));
  EXPECT_EQ(SaveDialog(dialogs, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), proposed, proposed),
            QString());
  EXPECT_EQ(SaveDialog(dialogs, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), proposed, proposed),
            proposed);

  const FileDialogRequest& request = dialogs.saves[0];
  EXPECT_EQ(request.nameBuffer.size(), kNameBufferLength);
  EXPECT_EQ(request.nameBuffer, proposed + QString(kNameBufferLength - proposed.size(), u' '));
  EXPECT_EQ(request.filterList, nul(QStringLiteral("F|*.ini||")));
  EXPECT_EQ(request.flags, 8198u);
  EXPECT_EQ(request.filterIndex, 0);
}

TEST(FileDialogLogic, LongProposedNamesAreCutAndOpenStartsEmpty) {
  test::ScriptedDialogs dialogs;
  SaveDialog(dialogs, nullptr, {}, {}, {}, QString(300, u'n'));
  EXPECT_EQ(dialogs.saves[0].nameBuffer, QString(kNameBufferLength, u'n'));
  EXPECT_EQ(OpenDialog(dialogs, nullptr, {}, {}, {}), QString());
  EXPECT_EQ(dialogs.opens[0].nameBuffer, QString(kNameBufferLength, u' '));
  EXPECT_EQ(dialogs.opens[0].flags, 4100u);
}

// The real Qt dialogs, driven while they are open.
class QtDialogs : public testing::Test {
 protected:
  test::TempDir dir;
  QtFileDialogPlatform platform;
  QString existing = toQString(dir.file("existing.ini", "[A]\r\n"));

  static void type(QWidget* dialog, const QString& name) {
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
    QMetaObject::invokeMethod(dialog, "accept");
  }
  static void answer(QWidget* box, QMessageBox::StandardButton button) {
    static_cast<QMessageBox*>(box)->button(button)->click();
  }
};

TEST_F(QtDialogs, OpenRefusesAMissingFileAndStaysOpen) {
  test::ModalDriver driver({
      {"QFileDialog", [&](QWidget* d) { type(d, toQString(dir / "missing.ini")); }},
      {"QMessageBox", [](QWidget* box) { static_cast<QMessageBox*>(box)->accept(); }},
      {"QFileDialog", [&](QWidget* d) { type(d, existing); }},
  });
  const QString chosen = OpenDialog(platform, nullptr, QStringLiteral("Ombrix ini files (*.ini)|*.ini"),
                                    QStringLiteral("Select"), toQString(dir.path()));
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(chosen, QDir::toNativeSeparators(existing));
}

TEST_F(QtDialogs, SaveAsksBeforeCreatingAndNoKeepsItOpen) {
  const QString fresh = toQString(dir / "fresh.ini");
  test::ModalDriver driver({
      {"QFileDialog", [&](QWidget* d) { type(d, fresh); }},
      {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::No); }},
      {"QFileDialog", [&](QWidget* d) { type(d, fresh); }},
      {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::Yes); }},
  });
  const QString chosen = SaveDialog(platform, nullptr, QStringLiteral("Ombrix Ini File (*.ini)|*.ini"),
                                    QStringLiteral("Save merged ini as"), existing, existing);
  EXPECT_TRUE(driver.finished());
  EXPECT_EQ(chosen, fresh);
  EXPECT_FALSE(QFileInfo::exists(fresh)) << "the dialog only chooses; the merge creates the file";
}

TEST_F(QtDialogs, SaveAsksBeforeReplacingAnExistingFile) {
  test::ModalDriver driver({
      {"QFileDialog", [&](QWidget* d) { type(d, existing); }},
      {"QMessageBox", [](QWidget* box) { answer(box, QMessageBox::No); }},
      {"QFileDialog", [](QWidget* d) { static_cast<QFileDialog*>(d)->reject(); }},
  });
  EXPECT_EQ(SaveDialog(platform, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), existing, existing),
            QString());
  EXPECT_TRUE(driver.finished());
}

TEST_F(QtDialogs, FullPathProposalOpensItsFolderAndMissingStartFolderFallsBackHome) {
  QString shownFolder;
  QString shownName;
  test::ModalDriver withProposal({{"QFileDialog", [&](QWidget* d) {
                                     shownFolder = static_cast<QFileDialog*>(d)->directory().absolutePath();
                                     shownName =
                                         d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                                     static_cast<QFileDialog*>(d)->reject();
                                   }}});
  SaveDialog(platform, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), existing, existing);
  EXPECT_EQ(shownFolder, QDir(toQString(dir.path())).absolutePath());
  EXPECT_EQ(shownName, QStringLiteral("existing.ini"));

  test::ModalDriver withoutFolder({{"QFileDialog", [&](QWidget* d) {
                                      shownFolder = static_cast<QFileDialog*>(d)->directory().absolutePath();
                                      static_cast<QFileDialog*>(d)->reject();
                                    }}});
  EXPECT_EQ(
      OpenDialog(platform, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), QStringLiteral("c:\\")),
      QString());
  EXPECT_EQ(shownFolder, QDir::homePath());
}

TEST_F(QtDialogs, AChoiceLongerThanTheNameBufferFails) {
  QString longFolder = toQString(dir.path());
  while (longFolder.size() < 260) {
    longFolder += QStringLiteral("/") + QString(60, u'd');
  }
  ASSERT_TRUE(QDir().mkpath(longFolder));
  const QString longPath = longFolder + QStringLiteral("/list.ini");
  test::writeFile(toPath(longPath), "[A]\r\n");
  test::ModalDriver driver({{"QFileDialog", [&](QWidget* d) { type(d, longPath); }}});
  EXPECT_EQ(OpenDialog(platform, nullptr, QStringLiteral("F|*.ini"), QStringLiteral("T"), longFolder),
            QString());
  EXPECT_TRUE(driver.finished());
}

}  // namespace
}  // namespace ombrix
