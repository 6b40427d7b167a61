#pragma once

// The tool's one window with Qt, built from the form's description: two path boxes with browse buttons,
// the three merge policies, the merge button, the description label that shows the progress of a merge,
// the logo and the credit label. Its handlers are formOmbrixMerger's.

#include <QWidget>
#include <map>
#include <string>

#include "ui/merger_form.h"

namespace ombrix {

class QtMergerWindow final : public QWidget, public FormControls {
  Q_OBJECT

 public:
  explicit QtMergerWindow(const WindowServices& services, QWidget* parent = nullptr);
  ~QtMergerWindow() override;

  formOmbrixMerger& form() { return form_; }

  // Centres the window on its screen and shows it with the focus in the first path box.
  void showCentred();

  std::string text(std::string_view control) const override;
  void setText(std::string_view control, std::string_view text) override;
  void repaintNow(std::string_view control) override;
  bool isSelected(std::string_view optionButton) const override;
  DialogOwner owner() override { return static_cast<QWidget*>(this); }

 signals:
  // The window has closed and stored its paths. A tool window does not count for Qt's rule that the program
  // ends with its last window, so the program ends on this.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void styleControls();
  void connectHandlers();
  void setTabOrderFromDescription();
  QWidget* widget(std::string_view control) const;

  std::map<std::string, QWidget*, std::less<>> controls_;
  formOmbrixMerger form_;
};

}  // namespace ombrix
