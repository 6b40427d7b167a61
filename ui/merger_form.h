#pragma once

// The logic of the window formOmbrixMerger, without a toolkit: start-up, close, the browse buttons, the
// merge button and the credit label. The Qt and the Win32 window hand their controls to it through
// FormControls and call its handlers from their events.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "merge/merge_pass.h"
#include "ui/window_services.h"

namespace ombrix {

struct MergeReport;

// The controls of a toolkit's window, by their names in the form's description. Texts are UTF-8.
class FormControls {
 public:
  virtual ~FormControls() = default;
  virtual std::string text(std::string_view control) const = 0;
  virtual void setText(std::string_view control, std::string_view text) = 0;
  // Paints the control at once, without waiting for the event loop.
  virtual void repaintNow(std::string_view control) = 0;
  virtual bool isSelected(std::string_view optionButton) const = 0;
  // The window, as owner of its dialogs and message boxes.
  virtual DialogOwner owner() = 0;
};

// NOLINTNEXTLINE(readability-identifier-naming): the window goes by its form name.
class formOmbrixMerger {
 public:
  formOmbrixMerger(FormControls& controls, const WindowServices& services);

  // Start-up: false when another instance runs, and then nothing was read; otherwise fills both path boxes
  // from the stored settings.
  bool Form_Load();
  // The window is closing: stores both path boxes. Cancel is never set.
  void Form_Unload(int& Cancel);

  // Fills path box Index (1 or 2) with the choice of the open dialog; a cancel empties it.
  void btnBrowse_Click(int Index);
  // The merge command, with its outcome shown in message boxes.
  void Command1_Click();
  void Label4_Click();
  // Files dragged from the file manager and dropped on path box Index: a single one fills the box.
  void filesDropped(int Index, const std::vector<std::string>& files);

 private:
  class MergeHostAdapter;

  MergePolicy selectedPolicy() const;
  std::filesystem::path askForBase(const std::filesystem::path& fileToUpdate);
  static std::string resultText(const MergeReport& report);
  void showResult(const MergeReport& report);
  // The details of a result list at most this many lines of changes.
  static constexpr std::size_t kMostDetailLines = 2000;
  void inform(MessageIcon icon, std::string_view text);
  void showProgress(std::string_view text);
  void endProgress();

  FormControls& controls_;
  WindowServices services_;
  std::string rememberedCaption_;
  std::chrono::steady_clock::time_point lastRepaint_{};
  bool progressShown_ = false;
};

}  // namespace ombrix
