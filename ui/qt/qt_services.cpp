#include "ui/qt/qt_services.h"

#include <unistd.h>

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QAbstractButton>
#include <QPushButton>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include "ui/form_description.h"

namespace ombrix {
namespace {

constexpr QChar kNul(u'\0');

QWidget* ownerWidget(DialogOwner owner) {
  return static_cast<QWidget*>(owner);
}

QString settingsKey(std::string_view section, std::string_view key) {
  return toQString(section) + u'/' + toQString(key);
}

// Patterns as Qt matches them: "*.*" means every file on Windows, and "*" does so everywhere; a
// semicolon separates patterns in the filter text, a blank in Qt's.
QString qtPatterns(QString patterns) {
  patterns.replace(u';', u' ');
  const QStringList parts = patterns.split(u' ', Qt::SkipEmptyParts);
  QStringList converted;
  for (const QString& part : parts) {
    converted << (part == QLatin1String("*.*") ? QStringLiteral("*") : part);
  }
  return converted.join(u' ');
}

// The folder a dialog opens in: the proposed name's own folder when that is a full path, else the start
// folder, else the user's home when the start folder does not exist here (such as "c:\" outside Windows).
QString startFolder(const QString& initialDir, const QString& proposedName) {
  const QFileInfo proposed(proposedName);
  if (!proposedName.isEmpty() && proposed.isAbsolute() && QDir(proposed.absolutePath()).exists()) {
    return proposed.absolutePath();
  }
  const QFileInfo initial(initialDir);
  if (!initialDir.isEmpty() && initial.isDir()) {
    return initial.absoluteFilePath();
  }
  if (!initialDir.isEmpty() && initial.isAbsolute() && QDir(initial.absolutePath()).exists()) {
    return initial.absolutePath();
  }
  return QDir::homePath();
}

// Qt's dialog, which asks before it creates a new file when the flags say so. It judges the name as the
// wrappers will return it, trimmed of spaces: "other.ini " names the existing other.ini, so it asks before
// replacing that, not before creating another.
class ConfirmingFileDialog final : public QFileDialog {
 public:
  ConfirmingFileDialog(QWidget* owner, const QString& title, unsigned flags)
      : QFileDialog(owner, title), flags_(flags) {}

  void accept() override {
    const QString typed = selectedFiles().value(0);
    const QString chosen = QString::fromStdU16String(resultFromNameBuffer(typed.toStdU16String()));
    const bool exists = QFileInfo::exists(chosen);
    if (!chosen.isEmpty() && fileMode() == QFileDialog::AnyFile) {
      // Qt asks about a name it sees existing; the trimmed name is this dialog's to ask about.
      const bool askReplace = exists && chosen != typed && (flags_ & DialogFlags::kOverwritePrompt) != 0;
      const bool askCreate = !exists && (flags_ & DialogFlags::kCreatePrompt) != 0;
      if ((askReplace &&
           !ask(tr("%1 already exists.\nDo you want to replace it?"), chosen, "ReplacePrompt")) ||
          (askCreate && !ask(tr("%1 does not exist.\nDo you want to create it?"), chosen, "CreatePrompt"))) {
        return;
      }
    }
    QFileDialog::accept();
  }

 private:
  bool ask(const QString& question, const QString& chosen, const char* name) {
    QMessageBox prompt(QMessageBox::Warning, windowTitle(), question.arg(QFileInfo(chosen).fileName()),
                       QMessageBox::Yes | QMessageBox::No, this);
    prompt.setObjectName(QString::fromLatin1(name));
    return prompt.exec() == QMessageBox::Yes;
  }

  unsigned flags_;
};

bool runQtDialog(FileDialogRequest& request, bool save) {
  ConfirmingFileDialog dialog(ownerWidget(request.owner), QString::fromStdU16String(request.title),
                              request.flags);
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & DialogFlags::kOverwritePrompt) == 0);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode((request.flags & DialogFlags::kFileMustExist) ? QFileDialog::ExistingFile
                                                                   : QFileDialog::AnyFile);
  const QStringList filters = qtNameFilters(QString::fromStdU16String(request.filterList));
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(std::max(request.filterIndex - 1, 0)));
  }
  const QString proposed = QString::fromStdU16String(proposedName(request));
  dialog.setDirectory(startFolder(QString::fromStdU16String(request.initialDir), proposed));
  if (!proposed.isEmpty()) {
    dialog.selectFile(QFileInfo(proposed).fileName());
  }
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
  request.tooLong = chosen.size() > kNameBufferLength;
  return !chosen.isEmpty() && writeChoice(request, chosen.toStdU16String());
}

}  // namespace

void QtMessagePresenter::show(DialogOwner owner, MessageIcon icon, std::string_view title,
                              std::string_view text) {
  QMessageBox box(icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::Information,
                  toQString(title), toQString(text), QMessageBox::Ok, ownerWidget(owner));
  box.exec();
}

// The details scroll in the box's own text area; Undo sits beside OK, which Esc and the close box press.
bool QtMessagePresenter::showResult(DialogOwner owner, std::string_view title, const ResultMessage& result) {
  QMessageBox box(QMessageBox::Information, toQString(title), toQString(result.text), QMessageBox::Ok,
                  ownerWidget(owner));
  if (!result.details.empty()) {
    box.setDetailedText(toQString(result.details));
  }
  QAbstractButton* undo =
      result.offersUndo ? box.addButton(QStringLiteral("Undo"), QMessageBox::ActionRole) : nullptr;
  box.setEscapeButton(box.button(QMessageBox::Ok));
  box.setDefaultButton(QMessageBox::Ok);
  box.exec();
  return undo != nullptr && box.clickedButton() == undo;
}

std::string QtSettingsStore::read(std::string_view section, std::string_view key) {
  return settings_.value(settingsKey(section, key)).toString().toStdString();
}

void QtSettingsStore::write(std::string_view section, std::string_view key, std::string_view value) {
  settings_.setValue(settingsKey(section, key), toQString(value));
  settings_.sync();
}

std::unique_ptr<QSettings> QtSettingsStore::openUserSettings() {
  const QString application = toQString(form::kSettingsApplication);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application, application);
}

LockFileInstance::LockFileInstance(const QString& lockPath) : lock_(lockPath) {
  // A lock left by an instance that crashed is taken over at once (QLockFile checks its process too).
  lock_.setStaleLockTime(0);
}

bool LockFileInstance::acquire() {
  return lock_.tryLock(0);
}

QString LockFileInstance::defaultLockPath() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) {
    folder = QDir::tempPath();
  }
  // The temporary folder may be shared between users; the user's id keeps their instances apart. It is the
  // id the system runs the program as, which no variable of the environment can change.
  return QDir(folder).filePath(QStringLiteral("OmbrixMerger-%1.lock").arg(getuid()));
}

void QtShell::open(std::string_view address) {
  QDesktopServices::openUrl(QUrl(toQString(address)));
}

QStringList qtNameFilters(const QString& filterList) {
  static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  const QStringList items = filterList.split(kNul);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < items.size() && !items[i].isEmpty(); i += 2) {
    QString description = items[i];
    description.remove(trailingPatterns);
    filters << description + QStringLiteral(" (") + qtPatterns(items[i + 1]) + u')';
  }
  return filters;
}

bool QtFileDialogPlatform::showOpen(FileDialogRequest& request) {
  return runQtDialog(request, false);
}

bool QtFileDialogPlatform::showSave(FileDialogRequest& request) {
  return runQtDialog(request, true);
}

void QtFileDialogPlatform::sayPathTooLong(DialogOwner owner, std::u16string_view title) {
  QMessageBox box(QMessageBox::Warning, QString::fromStdU16String(std::u16string(title)),
                  toQString(kPathTooLongMessage), QMessageBox::Ok, ownerWidget(owner));
  box.exec();
}

}  // namespace ombrix
