#pragma once

// The tool's one window: two path boxes with browse buttons, the three merge policies, the merge button,
// the description label that shows the progress of a merge, the logo and the credit label.

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <filesystem>

#include "merge/merge_command.h"
#include "ui/window_services.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ombrix {

inline constexpr char kWindowCaption[] = "Ombrix Ini Files Merger 1.1b";
inline constexpr char kHomePage[] = "https://quillane.example/";

// NOLINTNEXTLINE(readability-identifier-naming): the window keeps the name it has always had.
class formOmbrixMerger final : public QWidget {
  Q_OBJECT

 public:
  explicit formOmbrixMerger(const WindowServices& services, QWidget* parent = nullptr);
  ~formOmbrixMerger() override;

  // Start-up: false when another instance runs, and then nothing was read; otherwise fills the boxes from
  // the stored settings.
  bool Form_Load();
  // The window is closing: stores both boxes.
  void Form_Unload(int& Cancel);

  void btnBrowse_Click(int Index);
  void Command1_Click();
  void Label4_Click();

  // True when path names a file whose length can be read and is greater than 0.
  bool FileHasContent(const QString& path) const;

  // Centres the window on its screen and shows it with the focus in the first path box.
  void showCentred();

 signals:
  // The window has closed and stored its paths. A tool window does not count for Qt's rule that the program
  // ends with its last window, so the program ends on this.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class MergeHostAdapter;

  void createControls();
  void setTabOrder();

  MergePolicy selectedPolicy() const;
  void showProgress(const QString& text);
  void endProgress();

  WindowServices services_;
  QLabel* Image1_ = nullptr;
  QLabel* Label1_ = nullptr;
  QLabel* Label2_ = nullptr;
  QLabel* Label3_ = nullptr;
  QLabel* Label4_ = nullptr;
  std::array<QLineEdit*, 2> txtSource_{};
  std::array<QPushButton*, 2> btnBrowse_{};
  QPushButton* Command1_ = nullptr;
  QGroupBox* Frame1_ = nullptr;
  QRadioButton* Option1_ = nullptr;
  QRadioButton* Option2_ = nullptr;
  QRadioButton* Option3_ = nullptr;

  QString rememberedCaption_;
  QElapsedTimer sinceLastRepaint_;
};

}  // namespace ombrix
