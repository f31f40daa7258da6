#ifndef POPUPFIXTURE_H
#define POPUPFIXTURE_H

// Shared set-up of the popup tests: a fake platform, a temporary
// application directory and a known settings record.

#include "platform/fakeplatform.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

inline void loadPopupResources()
{
    // The icons live in the program's static library.
    Q_INIT_RESOURCE(quillet);
}

// True when the icon really draws something (a file icon of a missing file
// is not null, but draws nothing).
inline bool drawsImage(const QIcon &icon)
{
    return !icon.pixmap(QSize(16, 16)).isNull();
}

struct PopupFixture
{
    FakePlatform platform;
    QTemporaryDir dir;

    PopupFixture()
    {
        loadPopupResources();
        Platform::setInstance(&platform);
        AppDir::setOverride(dir.path());
        settleClipboardNotices();
    }
    ~PopupFixture()
    {
        // The filter line's clear button fades with an animation that has
        // no parent and ends itself at the next tick of Qt's animation timer
        // once its button is gone: let it, so that none is left at exit.
        QTest::qWait(40);
        AppDir::setOverride(QString());
        Platform::setInstance(nullptr);
    }
    // Windows tells of a clipboard change with a posted message that may come
    // well after the change (under Wine, after the X11 clipboard has been
    // synchronised): the notice of an earlier test's copy must not reach
    // this test's popup, which watches the clipboard from its start.
    static void settleClipboardNotices()
    {
#ifdef Q_OS_WIN
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 150)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
#endif
    }
    PopupFixture(const PopupFixture &) = delete;
    PopupFixture &operator=(const PopupFixture &) = delete;

    // The settings the popup reads, at the program's defaults, with `history`.
    static void resetSettings(const QStringList &history = QStringList())
    {
        Settings *settings = Settings::instance();
        *settings = Settings();
        settings->size = QSize(700, 500);
        settings->ignoreCase = true;
        settings->word = false;
        settings->linewrap = false;
        settings->tooltip = true;
        settings->histmax = 500;
        settings->tabcolm = 4;
        settings->textFont = QFont(QStringLiteral("IPAGothic"), 14);
        settings->inpFont = QFont(QStringLiteral("IPAGothic"), 9);
        settings->forecolor = QColor(QStringLiteral("#ffffff"));
        settings->backcolor = QColor(QStringLiteral("#0a1b34"));
        settings->hlforecolor = QColor(QStringLiteral("#ffffff"));
        settings->hlbackcolor = QColor(QStringLiteral("#4682b4"));
        settings->history = history;
    }
};

#endif  // POPUPFIXTURE_H
