#include "app/darklook.h"
#include "app/hidefromtaskbar.h"
#include "app/mainwindow.h"
#include "platform/platform.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdio>

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(quillet);
    auto *app = new QApplication(argc, argv);

    const QString appDir = QCoreApplication::applicationDirPath();
    QCoreApplication::addLibraryPath(appDir);
    QApplication::setStyle(QStringLiteral("fusion"));

    const QString problem = Platform::instance()->sessionProblem();
    if (!problem.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(problem));

    Settings *settings = Settings::instance();
    settings->load();
    DarkLook::install(*settings, AppDir::path());

    auto *window = new MainWindow(nullptr);

    int exitCode = 1;
    HideFromTaskbar *hidden = nullptr;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fprintf(stderr,
            "quillet: no notification area (system tray) found; quillet lives in "
            "the tray and cannot run without one. Start a panel with a "
            "notification area and try again.\n");
    } else {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        hidden = new HideFromTaskbar(window, Qt::Dialog);
        exitCode = app->exec();
    }

    delete hidden;
    delete window;
    delete app;
    return exitCode;
}
