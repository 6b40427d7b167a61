#pragma once

// Acts on Qt's modal dialogs as a user would.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace ombrix::test {

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
  std::vector<QString> seen;  // class name of each modal widget a step acted on

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
      seen.push_back(QString::fromLatin1(modal->metaObject()->className()));
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

}  // namespace ombrix::test
