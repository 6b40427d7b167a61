#pragma once

// Stand-ins for the user at the window's dialogs and message boxes, and for the platform's settings and
// shell, for the window of every toolkit.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/file_dialogs.h"
#include "ui/window_services.h"

namespace ombrix::test {

// Answers each dialog with the next scripted choice (UTF-8): a path, or nothing for cancel.
class ScriptedDialogs final : public FileDialogPlatform {
 public:
  std::deque<std::optional<std::string>> answers;
  std::vector<FileDialogRequest> opens;
  std::vector<FileDialogRequest> saves;
  int toldTooLong = 0;

  bool showOpen(FileDialogRequest& request) override {
    opens.push_back(request);
    return answer(request);
  }
  bool showSave(FileDialogRequest& request) override {
    saves.push_back(request);
    return answer(request);
  }
  void sayPathTooLong(DialogOwner, std::u16string_view) override { ++toldTooLong; }

 private:
  bool answer(FileDialogRequest& request) {
    std::optional<std::string> next;
    if (!answers.empty()) {
      next = answers.front();
      answers.pop_front();
    }
    request.tooLong = next && !writeChoice(request, toUtf16(*next));
    return next && !request.tooLong;
  }
};

struct ShownMessage {
  MessageIcon icon;
  std::string title;
  std::string text;
  bool operator==(const ShownMessage&) const = default;
};

class RecordingMessages final : public MessagePresenter {
 public:
  std::vector<ShownMessage> shown;
  std::function<void()> whileShown;  // runs while a message box would be on screen
  std::vector<ResultMessage> results;  // every result shown, also in shown as an information message
  bool chooseUndo = false;             // the answer to a result that offers Undo

  void show(DialogOwner, MessageIcon icon, std::string_view title, std::string_view text) override {
    shown.push_back({icon, std::string(title), std::string(text)});
    if (whileShown) {
      whileShown();
    }
  }
  bool showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) override {
    results.push_back(result);
    show(owner, MessageIcon::Information, title, result.text);
    return result.offersUndo && chooseUndo;
  }
};

class MemorySettings final : public SettingsStore {
 public:
  std::map<std::string, std::string> values;  // "Section/Key"

  std::string read(std::string_view section, std::string_view key) override {
    const auto found = values.find(std::string(section) + "/" + std::string(key));
    return found == values.end() ? std::string() : found->second;
  }
  void write(std::string_view section, std::string_view key, std::string_view value) override {
    values[std::string(section) + "/" + std::string(key)] = value;
  }
};

class RecordingShell final : public Shell {
 public:
  std::vector<std::string> opened;
  void open(std::string_view address) override { opened.emplace_back(address); }
};

inline ShownMessage information(std::string text) {
  return {MessageIcon::Information, "Ombrix Ini Files Merger 1.1b", std::move(text)};
}

}  // namespace ombrix::test
