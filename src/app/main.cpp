#include "app/darklook.h"
#include "app/hidefromtaskbar.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "platform/platform.h"
#include "popup/inputdialog.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QApplication>
#include <QDir>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Nothing here draws with OpenGL, but Qt's X11 platform would load an
    // OpenGL integration with its driver (tens of megabytes) at the first
    // window. A choice the user made in the environment stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    Q_INIT_RESOURCE(quillet);
    auto *app = new QApplication(argc, argv);

    const QString appDir = QCoreApplication::applicationDirPath();
    QCoreApplication::addLibraryPath(appDir);
    QApplication::setStyle(QStringLiteral("fusion"));

    const QString problem = Platform::instance()->sessionProblem();
    if (!problem.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(problem));

    // One process per user and directory: a second start shows the running
    // one's popup and ends, so the files never get a second writer.
    auto *single = new SingleInstance(AppDir::path(), app);
    const SingleInstance::Result role = single->start();
    if (role != SingleInstance::Primary) {
        if (role == SingleInstance::AlreadyRunning)
            std::fprintf(stderr, "quillet: another instance is running from %s; its popup is shown.\n",
                qPrintable(QDir::toNativeSeparators(AppDir::path())));
        else
            std::fprintf(stderr,
                "quillet: another instance is running from %s but does not answer; end it "
                "and start quillet again.\n",
                qPrintable(QDir::toNativeSeparators(AppDir::path())));
        delete app;
        return role == SingleInstance::AlreadyRunning ? 0 : 1;
    }
    if (!single->isListening())
        std::fprintf(stderr, "quillet: cannot watch for a second start (%s); running anyway.\n",
            qPrintable(single->errorString()));

    Settings *settings = Settings::instance();
    // The history is read once the tray icon is on its way (see the popup).
    settings->loadOptions();
    DarkLook::install(*settings, AppDir::path());

    auto *window = new MainWindow(nullptr);
    InputDialog *popup = window->popup();
    QObject::connect(single, &SingleInstance::showRequested, popup, [popup] {
        popup->showNormal();
        popup->raise();
        popup->activateWindow();
    });

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
        // Once the tray icon is up and nobody waits for anything.
        QTimer::singleShot(200, popup, &InputDialog::prepareFirstShow);
        // A session that cannot serve the hot key or the paste is named
        // once more where a user who never reads standard error looks.
        if (!problem.isEmpty())
            QTimer::singleShot(0, popup, [popup, problem] {
                popup->tray()->showMessage(
                    QStringLiteral("Quillet"), problem, QSystemTrayIcon::Warning, 20000);
            });
        exitCode = app->exec();
    }

    delete hidden;
    delete window;
    delete app;
    return exitCode;
}
