#include "ui/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

namespace ombrix {
namespace {

constexpr QChar kNul(u'\0');

QString showDialog(FileDialogPlatform& platform, bool save, QWidget* owner, const QString& filter,
                   const QString& title, const QString& initialDir, const QString& proposedName) {
  FileDialogRequest request;
  request.owner = owner;
  request.filterList = convertFilter(filter) + kNul;
  request.nameBuffer = QString(kNameBufferLength, u' ');
  request.nameBuffer.replace(0, std::min<qsizetype>(proposedName.size(), kNameBufferLength),
                             proposedName.left(kNameBufferLength));
  request.initialDir = initialDir;
  request.title = title;
  request.flags = save ? DialogFlags::kSave : DialogFlags::kOpen;
  const bool confirmed = save ? platform.showSave(request) : platform.showOpen(request);
  return confirmed ? resultFromNameBuffer(request.nameBuffer) : QString();
}

QString trimmedOfSpaces(const QString& text) {
  qsizetype first = 0;
  qsizetype last = text.size();
  while (first < last && text[first] == u' ') {
    ++first;
  }
  while (last > first && text[last - 1] == u' ') {
    --last;
  }
  return text.mid(first, last - first);
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

// The name the platform reads from the buffer: up to its first NUL, without the padding after it.
QString proposedNameIn(const QString& nameBuffer) {
  QString name = nameBuffer.left(nameBuffer.indexOf(kNul));
  while (name.endsWith(u' ')) {
    name.chop(1);
  }
  return name;
}

// Qt's dialog, which asks before it creates a new file when the flags say so.
class ConfirmingFileDialog final : public QFileDialog {
 public:
  ConfirmingFileDialog(QWidget* owner, const QString& title, bool confirmCreate)
      : QFileDialog(owner, title), confirmCreate_(confirmCreate) {}

  void accept() override {
    const QString chosen = selectedFiles().value(0);
    if (confirmCreate_ && !chosen.isEmpty() && !QFileInfo::exists(chosen) && !askToCreate(chosen)) {
      return;
    }
    QFileDialog::accept();
  }

 private:
  bool askToCreate(const QString& chosen) {
    QMessageBox prompt(QMessageBox::Warning, windowTitle(),
                       tr("%1 does not exist.\nDo you want to create it?").arg(QFileInfo(chosen).fileName()),
                       QMessageBox::Yes | QMessageBox::No, this);
    prompt.setObjectName(QStringLiteral("CreatePrompt"));
    return prompt.exec() == QMessageBox::Yes;
  }

  bool confirmCreate_;
};

bool runQtDialog(FileDialogRequest& request, bool save) {
  ConfirmingFileDialog dialog(request.owner, request.title,
                              (request.flags & DialogFlags::kCreatePrompt) != 0);
  dialog.setObjectName(QStringLiteral("FileDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & DialogFlags::kOverwritePrompt) == 0);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode((request.flags & DialogFlags::kFileMustExist) ? QFileDialog::ExistingFile
                                                                   : QFileDialog::AnyFile);
  const QStringList filters = qtNameFilters(request.filterList);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(std::max(request.filterIndex - 1, 0)));
  }
  const QString proposed = proposedNameIn(request.nameBuffer);
  dialog.setDirectory(startFolder(request.initialDir, proposed));
  if (!proposed.isEmpty()) {
    dialog.selectFile(QFileInfo(proposed).fileName());
  }
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().value(0));
  if (chosen.isEmpty() || chosen.size() > kNameBufferLength) {
    return false;
  }
  request.nameBuffer.replace(0, std::min<qsizetype>(chosen.size() + 1, request.nameBuffer.size()),
                             chosen + kNul);
  return true;
}

}  // namespace

QString convertFilter(const QString& Filter) {
  QString list = Filter;
  if (!list.endsWith(u'|')) {
    list += u'|';
  }
  list.replace(u'|', kNul);
  return list;
}

QString resultFromNameBuffer(const QString& nameBuffer) {
  const qsizetype nul = nameBuffer.indexOf(kNul);
  return trimmedOfSpaces(nul < 0 ? nameBuffer : nameBuffer.left(nul));
}

QString OpenDialog(FileDialogPlatform& platform, QWidget* Form1, const QString& Filter, const QString& Title,
                   const QString& InitDir) {
  return showDialog(platform, false, Form1, Filter, Title, InitDir, QString());
}

QString SaveDialog(FileDialogPlatform& platform, QWidget* Form1, const QString& Filter, const QString& Title,
                   const QString& InitDir, const QString& DefaultFilename) {
  return showDialog(platform, true, Form1, Filter, Title, InitDir, DefaultFilename);
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

}  // namespace ombrix
