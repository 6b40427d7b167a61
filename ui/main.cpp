#include <QApplication>
#include <QSettings>

#include "ui/file_dialogs.h"
#include "ui/form_ombrix_merger.h"
#include "ui/window_services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OmbrixMerger"));

  ombrix::QtFileDialogPlatform dialogs;
  ombrix::QtMessagePresenter messages;
  const std::unique_ptr<QSettings> settings = ombrix::openUserSettings();
  ombrix::SingleInstance instance;

  ombrix::formOmbrixMerger window({&dialogs, &messages, settings.get(), &instance});
  if (!window.Form_Load()) {
    return 0;
  }
  QObject::connect(&window, &ombrix::formOmbrixMerger::closed, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  window.showCentred();
  return QApplication::exec();
}
