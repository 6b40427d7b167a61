// The real Qt dialogs behind the dialog wrappers, driven while they are open.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <vector>

#include "test_support.h"
#include "ui/qt/qt_services.h"

namespace ombrix {
namespace {

// Acts on modal widgets as a user would: each step waits until its widget is the active modal one, then
// runs. Steps that never see their widget end the nested event loops so a broken test cannot hang.
class ModalDriver : public QObject {
 public:
  using Step = std::function<void(QWidget* modal)>;

  explicit ModalDriver(std::vector<std::pair<const char*, Step>> steps) : steps_(std::move(steps)) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    clock_.start();
    timer_.start();
  }

  bool finished() const { return next_ == steps_.size(); }

 private:
  void poll() {
    if (finished()) {
      timer_.stop();
      return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    const auto& [className, step] = steps_[next_];
    if (modal != nullptr && modal->inherits(className) && modal->isVisible()) {
      ++next_;
      // Queued, because a step may open a modal loop of its own, and Qt does not fire this timer again
      // while its handler is still running.
      QMetaObject::invokeMethod(
          this, [step = step, modal] { step(modal); }, Qt::QueuedConnection);
    } else if (clock_.elapsed() > 10'000) {
      timer_.stop();
      for (int i = 0; i < 5 && QApplication::activeModalWidget() != nullptr; ++i) {
        QApplication::activeModalWidget()->close();
      }
    }
  }

  std::vector<std::pair<const char*, Step>> steps_;
  std::size_t next_ = 0;
  QTimer timer_;
  QElapsedTimer clock_;
};

QString nul(QString visible) {
  return visible.replace(u'|', QChar(u'\0'));
}

TEST(QtFilters, ReadsQtFiltersFromTheList) {
  EXPECT_EQ(qtNameFilters(nul(QStringLiteral("Ombrix ini files (*.ini)|*.ini|All files (*.*)|*.*||"))),
            QStringList({"Ombrix ini files (*.ini)", "All files (*)"}));
  EXPECT_EQ(qtNameFilters(nul(QStringLiteral("Lists|*.ini;*.txt||"))), QStringList({"Lists (*.ini *.txt)"}));
  EXPECT_TRUE(qtNameFilters(nul(QStringLiteral("||"))).isEmpty());
}

// The real Qt dialogs, driven while they are open.
class QtDialogs : public testing::Test {
 protected:
  TempDir dir;
  QtFileDialogPlatform platform;
  std::string existing = dir.file("existing.ini", "[A]\r\n").string();

  // Types a name into the dialog's name box and accepts it, as Return would.
  static void type(QWidget* dialog, const std::string& name) {
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QString::fromStdString(name));
    QMetaObject::invokeMethod(dialog, "accept");
  }
};

// Save asks before it creates a file, and before it replaces one, its name typed exactly or with a space
// after it; No keeps the dialog open, and the dialog only chooses: the merge makes the file.
TEST_F(QtDialogs, SaveAsksBeforeCreatingOrReplacingAFile) {
  const std::string fresh = (dir / "fresh.ini").string();
  std::vector<QString> prompts;
  const auto answer = [&prompts](QMessageBox::StandardButton button) {
    return [&prompts, button](QWidget* box) {
      prompts.push_back(box->objectName());
      static_cast<QMessageBox*>(box)->button(button)->click();
    };
  };
  ModalDriver driver({
      {"QFileDialog", [&](QWidget* d) { type(d, fresh); }},
      {"QMessageBox", answer(QMessageBox::No)},
      {"QFileDialog", [&](QWidget* d) { type(d, existing); }},
      {"QMessageBox", answer(QMessageBox::No)},
      {"QFileDialog", [&](QWidget* d) { type(d, existing + ' '); }},
      {"QMessageBox", answer(QMessageBox::Yes)},
  });
  EXPECT_EQ(SaveDialog(platform, nullptr, "F|*.ini", "T", existing, existing), existing);
  EXPECT_TRUE(driver.finished());
  const QString create = QStringLiteral("CreatePrompt");
  EXPECT_THAT(prompts, ElementsAre(create, testing::Ne(create), testing::Ne(create))) << "create, replace, replace";
  EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(QtDialogs, FullPathProposalOpensItsFolder) {
  QString shownFolder;
  QString shownName;
  // Cancelled after noting the folder and the name it shows.
  ModalDriver withProposal({{"QFileDialog", [&](QWidget* d) {
                               shownFolder = static_cast<QFileDialog*>(d)->directory().absolutePath();
                               shownName = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                               static_cast<QFileDialog*>(d)->reject();
                             }}});
  SaveDialog(platform, nullptr, "F|*.ini", "T", existing, existing);
  EXPECT_EQ(shownFolder, QDir(QString::fromStdString(dir.path().string())).absolutePath());
  EXPECT_EQ(shownName, QStringLiteral("existing.ini"));
}

TEST_F(QtDialogs, AChoiceLongerThanTheNameBufferIsRefusedAndTheDialogOpensAgain) {
  std::string longFolder = dir.path().string();
  while (longFolder.size() < 260) {
    longFolder += "/" + std::string(60, 'd');
  }
  fs::create_directories(longFolder);
  const std::string longPath = longFolder + "/list.ini";
  test::writeFile(longPath, "[A]\r\n");
  ModalDriver driver({
      {"QFileDialog", [&](QWidget* d) { type(d, longPath); }},
      {"QMessageBox", [](QWidget* box) { static_cast<QMessageBox*>(box)->accept(); }},
      {"QFileDialog", [&](QWidget* d) { type(d, existing); }},
  });
  EXPECT_EQ(OpenDialog(platform, nullptr, "F|*.ini", "T", longFolder), existing);
  EXPECT_TRUE(driver.finished());
}

}  // namespace
}  // namespace ombrix
