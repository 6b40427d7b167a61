#pragma once

// What the window needs from the platform besides its controls, handed in through its constructor so that
// tests can replace the dialogs, the message boxes, the settings store, the single-instance check and the
// shell. Each toolkit implements them (ui/qt, ui/win32). Texts are UTF-8.

#include <string>
#include <string_view>

#include "ui/file_dialogs.h"

namespace ombrix {

enum class MessageIcon { Information, Warning };

// What a merge that ended well says: its text, the report of its changes to show on request (none when
// empty), and whether the message offers to undo the merge beside its OK.
struct ResultMessage {
  std::string text;
  std::string details;
  bool offersUndo = false;
};

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  // A modal message box with the icon, a text and a title, and one button to close it.
  virtual void show(DialogOwner owner, MessageIcon icon, std::string_view title, std::string_view text) = 0;
  // The result of a merge, as an information message. True when the user chose to undo the merge; Esc and
  // the close box never undo.
  virtual bool showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) = 0;
};

// The per-user settings of the application "OmbrixMerger".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or "" when the entry is missing or cannot be read.
  virtual std::string read(std::string_view section, std::string_view key) = 0;
  // Creates the entry when it is missing; a failure is skipped without notice.
  virtual void write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// One running instance per user.
class InstanceGuard {
 public:
  virtual ~InstanceGuard() = default;
  // True when no other instance runs; this one then counts as running until it ends. When another one
  // runs, it may be brought to the front.
  virtual bool acquire() = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Opens a web address with the system's handler for it; a failure gives no message.
  virtual void open(std::string_view address) = 0;
};

struct WindowServices {
  FileDialogPlatform* dialogs = nullptr;
  MessagePresenter* messages = nullptr;
  SettingsStore* settings = nullptr;
  InstanceGuard* instance = nullptr;  // none: every start is the first
  Shell* shell = nullptr;
};

}  // namespace ombrix
