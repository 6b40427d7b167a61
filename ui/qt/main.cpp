#include <QApplication>

#include "ui/qt/qt_services.h"
#include "ui/qt/qt_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("OmbrixMerger"));

  ombrix::QtFileDialogPlatform dialogs;
  ombrix::QtMessagePresenter messages;
  const std::unique_ptr<QSettings> userSettings = ombrix::QtSettingsStore::openUserSettings();
  ombrix::QtSettingsStore settings(*userSettings);
  ombrix::LockFileInstance instance;
  ombrix::QtShell shell;

  ombrix::QtMergerWindow window({&dialogs, &messages, &settings, &instance, &shell});
  if (!window.form().Form_Load()) {
    return 0;
  }
  QObject::connect(&window, &ombrix::QtMergerWindow::closed, &app, &QApplication::quit, Qt::QueuedConnection);
  window.showCentred();
  return QApplication::exec();
}
