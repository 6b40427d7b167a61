// The Qt window: the behaviour every window of the form has, and what is Qt's own.

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QUrl>

#include "test_support.h"
#include "ui/qt/qt_services.h"
#include "ui/qt/qt_window.h"
#include "window_contract.h"

namespace ombrix {

// The Qt window under the shared window tests.
class QtToolkit {
 public:
  explicit QtToolkit(const WindowServices& services) : window_(services) { window_.show(); }

  QtMergerWindow& window() { return window_; }
  formOmbrixMerger& form() { return window_.form(); }
  FormControls& controls() { return window_; }

  QWidget* find(std::string_view control) const {
    auto* widget = window_.findChild<QWidget*>(
        QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size())));
    EXPECT_NE(widget, nullptr) << control;
    return widget;
  }
  // Buttons are clicked; the credit label gets the left mouse button's press and release.
  void click(std::string_view control) {
    QWidget* widget = find(control);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->click();
      return;
    }
    const QPointF inside(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, inside, widget->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, widget->mapToGlobal(inside), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
  }
  // Delivered as the window system delivers it at the end of a drag from the file manager.
  void drop(std::string_view box, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject*>(find(box))->event(&drop);
  }
  void close() { window_.close(); }

  form::Rect placeOf(std::string_view control) const {
    const QRect place = find(control)->geometry();
    return {place.x(), place.y(), place.width(), place.height()};
  }
  std::string parentOf(std::string_view control) const {
    QWidget* parent = find(control)->parentWidget();
    return parent == &window_ ? std::string() : parent->objectName().toStdString();
  }
  std::string shownText(std::string_view control) const {
    QWidget* widget = find(control);
    return widget->property(widget->inherits("QGroupBox") ? "title" : "text").toString().toStdString();
  }
  form::Rect clientArea() const { return {0, 0, window_.width(), window_.height()}; }
  bool fixedSize() const { return window_.minimumSize() == window_.maximumSize(); }
  std::string caption() const { return window_.windowTitle().toStdString(); }
  std::vector<std::string> tabOrder(std::size_t count) const {
    std::vector<std::string> order;
    for (QWidget* widget = find("txtSource(1)"); order.size() < count; widget = widget->nextInFocusChain()) {
      if ((widget->focusPolicy() & Qt::TabFocus) != 0 && !widget->objectName().isEmpty()) {
        order.push_back(widget->objectName().toStdString());
      }
    }
    return order;
  }

 private:
  QtMergerWindow window_;
};

namespace test {
INSTANTIATE_TYPED_TEST_SUITE_P(Window, WindowContract, QtToolkit);
}  // namespace test

namespace {

using Window = test::WindowContract<QtToolkit>;

// A tool window without minimise and maximise buttons, with its logo and icon compiled in.
TEST_F(Window, IsAToolWindowWithItsLogo) {
  EXPECT_TRUE(window.window().windowFlags().testFlag(Qt::Tool));
  EXPECT_FALSE(window.window().windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
  EXPECT_FALSE(static_cast<QLabel*>(window.find("Image1"))->pixmap().isNull());
  EXPECT_FALSE(window.window().windowIcon().isNull());
  EXPECT_TRUE(static_cast<QLabel*>(window.find("Label1"))->wordWrap());
}

// The paths live in the user's settings file under [Settings], read at the start and written at the end,
// with their leading and trailing spaces.
TEST(QtSettings, KeepThePathsUnderTheirSection) {
  TempDir dir;
  const QString file = QString::fromStdString((dir / "settings.ini").string());
  QSettings stored(file, QSettings::IniFormat);
  QtSettingsStore settings(stored);
  settings.write("Settings", "Source", " /a b.ini ");
  EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Settings/Source"), QStringLiteral(" /a b.ini "));
  EXPECT_EQ(settings.read("Settings", "Source"), " /a b.ini ");
  EXPECT_EQ(settings.read("Settings", "File"), "");
}

// What the label shows each time it is painted during the merge, and once the count is shown.
TEST_F(Window, ShowsTheLineNumberWhileMergingAndItsCaptionAfter) {
  std::string newKeys = "[G]\r\n";
  for (int i = 0; i < 3000; ++i) {
    newKeys += "Key" + std::to_string(i) + "=1\r\n";
  }
  setBox(1, file("new.ini", newKeys));
  setBox(2, file("mine.ini", "[G]\r\nKey0=0\r\n\r\n"));
  dialogs.answers = {(dir / "out.ini").string()};
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
  auto* label = static_cast<QLabel*>(window.find("Label1"));
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
}

}  // namespace
}  // namespace ombrix
