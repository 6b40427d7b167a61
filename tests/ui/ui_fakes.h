#pragma once

// Stand-ins for the user at the window's dialogs and message boxes, and a driver for real modal dialogs.

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/file_dialogs.h"
#include "ui/window_services.h"

namespace ombrix::test {

// Answers each dialog with the next scripted choice: a path, or nothing for cancel.
class ScriptedDialogs final : public FileDialogPlatform {
 public:
  std::deque<std::optional<QString>> answers;
  std::vector<FileDialogRequest> opens;
  std::vector<FileDialogRequest> saves;

  bool showOpen(FileDialogRequest& request) override {
    opens.push_back(request);
    return answer(request);
  }
  bool showSave(FileDialogRequest& request) override {
    saves.push_back(request);
    return answer(request);
  }

 private:
  bool answer(FileDialogRequest& request) {
    const std::optional<QString> next = answers.empty() ? std::nullopt : answers.front();
    if (!answers.empty()) {
      answers.pop_front();
    }
    if (!next) {
      return false;
    }
    request.nameBuffer.replace(0, next->size() + 1, *next + QChar(u'\0'));
    return true;
  }
};

struct ShownMessage {
  QString icon;
  QString title;
  QString text;
  bool operator==(const ShownMessage&) const = default;
};

class RecordingMessages final : public MessagePresenter {
 public:
  std::vector<ShownMessage> shown;
  std::function<void()> whileShown;  // runs while a message box would be on screen

  void information(QWidget*, const QString& title, const QString& text) override {
    record("information", title, text);
  }
  void warning(QWidget*, const QString& title, const QString& text) override {
    record("warning", title, text);
  }

 private:
  void record(const QString& icon, const QString& title, const QString& text) {
    shown.push_back({icon, title, text});
    if (whileShown) {
      whileShown();
    }
  }
};

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
