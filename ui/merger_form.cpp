#include "ui/merger_form.h"

#include "ini/file/path_text.h"
#include "merge/merge_command.h"
#include "merge/change_report.h"
#include "merge/merge_messages.h"
#include "merge/undo.h"
#include "ui/form_description.h"

namespace ombrix {

// The window as the merge command's host: the save dialog and the progress in Label1.
class formOmbrixMerger::MergeHostAdapter final : public MergeHost {
 public:
  explicit MergeHostAdapter(formOmbrixMerger& form) : form_(form) {}

  std::filesystem::path askOutputPath(const std::filesystem::path&) override {
    const std::string fileToUpdate = form_.controls_.text(form::textBox(2));
    return pathFromText(SaveDialog(*form_.services_.dialogs, form_.controls_.owner(), form::kSaveFilter,
                                   form::kSaveTitle, fileToUpdate, fileToUpdate));
  }
  void showProgress(std::string_view text) override { form_.showProgress(text); }
  void endProgress() override { form_.endProgress(); }

 private:
  formOmbrixMerger& form_;
};

formOmbrixMerger::formOmbrixMerger(FormControls& controls, const WindowServices& services)
    : controls_(controls), services_(services) {}

bool formOmbrixMerger::Form_Load() {
  if (services_.instance != nullptr && !services_.instance->acquire()) {
    return false;
  }
  for (int index = 1; index <= 2; ++index) {
    controls_.setText(form::textBox(index),
                      services_.settings->read(form::kSettingsSection, form::settingsKey(index)));
  }
  return true;
}

void formOmbrixMerger::Form_Unload(int& Cancel) {
  Cancel = 0;
  for (int index = 1; index <= 2; ++index) {
    services_.settings->write(form::kSettingsSection, form::settingsKey(index),
                              controls_.text(form::textBox(index)));
  }
}

void formOmbrixMerger::btnBrowse_Click(int Index) {
  if (Index != 1 && Index != 2) {
    return;
  }
  controls_.setText(form::textBox(Index),
                    OpenDialog(*services_.dialogs, controls_.owner(), form::kBrowseFilter, form::kBrowseTitle,
                               form::kBrowseStartFolder));
}

void formOmbrixMerger::Command1_Click() {
  rememberedCaption_ = controls_.text(form::kDescriptionLabel);
  progressShown_ = false;
  MergeRequest request;
  request.newKeys = pathFromText(controls_.text(form::textBox(1)));
  request.fileToUpdate = pathFromText(controls_.text(form::textBox(2)));
  request.policy = selectedPolicy();
  MergeHostAdapter host(*this);
  MergeOptions options;
  options.collectChanges = true;  // for the details of the result
  MergeReport report = runMergeCommand(request, host, options);
  if (report.outcome == MergeOutcome::Refused && report.refusal == Refusal::NoBase) {
    request.base = askForBase(request.fileToUpdate);
    if (request.base.empty()) {
      return;
    }
    report = runMergeCommand(request, host, options);
  }
  switch (report.outcome) {
    case MergeOutcome::NeedsFile:
      if (report.unusableFile.index == 3) {
        inform(MessageIcon::Information, unusableFileMessage(report.unusableFile));
      }
      btnBrowse_Click(report.unusableFile.index);
      break;
    case MergeOutcome::Refused:
      inform(MessageIcon::Information, refusalMessage(report));
      break;
    case MergeOutcome::Cancelled:
      break;
    case MergeOutcome::Merged:
      showResult(report);
      break;
    case MergeOutcome::Failed:
      inform(MessageIcon::Information, changeCountMessage(report.changeCount));
      inform(MessageIcon::Warning, failureMessage(report));
      break;
  }
}

void formOmbrixMerger::Label4_Click() {
  if (services_.shell != nullptr) {
    services_.shell->open(form::kHomePage);
  }
}

void formOmbrixMerger::filesDropped(int Index, const std::vector<std::string>& files) {
  if ((Index == 1 || Index == 2) && files.size() == 1) {
    controls_.setText(form::textBox(Index), files.front());
  }
}

MergePolicy formOmbrixMerger::selectedPolicy() const {
  for (const form::Control& option : form::kControls) {
    if (option.policy && controls_.isSelected(option.name)) {
      return *option.policy;
    }
  }
  return *form::control(form::kSelectedAtStart).policy;
}

// The count first, then where they apply the conflicts, the backup and a base that could not be kept, a
// line each.
std::string formOmbrixMerger::resultText(const MergeReport& report) {
  using Kind = ResultPart::Kind;
  const std::vector<ResultPart> parts = resultParts(report, Audience::Window);
  std::string text;
  for (const Kind kind : {Kind::Count, Kind::Conflicts, Kind::Backup, Kind::BaseNotKept}) {
    for (const ResultPart& part : parts) {
      if (part.kind == kind) {
        text += (text.empty() ? "" : "\n") + part.text;
      }
    }
  }
  return text;
}

// Undo is offered after a merge in place that changed something; it does what ombrix-merge --undo does.
void formOmbrixMerger::showResult(const MergeReport& report) {
  ResultMessage result;
  result.text = resultText(report);
  result.details = changeReportText(report, kMostDetailLines);
  result.offersUndo = !report.backup.empty() && countEffectiveChanges(report.changes) > 0;
  if (services_.messages->showResult(controls_.owner(), form::kCaption, result)) {
    inform(MessageIcon::Information, undoMerge(report.output).message);
  }
}

// No base is kept for the file: the user names the newer list it last took its keys from, or cancels.
std::filesystem::path formOmbrixMerger::askForBase(const std::filesystem::path& fileToUpdate) {
  inform(MessageIcon::Information, "No earlier merge of " + quotedPath(fileToUpdate) +
                                       " is known. Choose the copy of the list with the new keys that it last "
                                       "took its keys from.");
  return pathFromText(OpenDialog(*services_.dialogs, controls_.owner(), form::kBrowseFilter, form::kBaseTitle,
                                 form::kBrowseStartFolder));
}

void formOmbrixMerger::inform(MessageIcon icon, std::string_view text) {
  services_.messages->show(controls_.owner(), icon, form::kCaption, text);
}

// The label is repainted at most every kProgressRepaintMs, always with the number of the line being handled.
void formOmbrixMerger::showProgress(std::string_view text) {
  const auto now = std::chrono::steady_clock::now();
  if (progressShown_ && now - lastRepaint_ < std::chrono::milliseconds(form::kProgressRepaintMs)) {
    return;
  }
  controls_.setText(form::kDescriptionLabel, text);
  controls_.repaintNow(form::kDescriptionLabel);
  progressShown_ = true;
  lastRepaint_ = now;
}

void formOmbrixMerger::endProgress() {
  controls_.setText(form::kDescriptionLabel, rememberedCaption_);
}

}  // namespace ombrix
