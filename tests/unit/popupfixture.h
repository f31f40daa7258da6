#ifndef POPUPFIXTURE_H
#define POPUPFIXTURE_H

// Shared set-up of the popup tests: a fake platform, a temporary
// application directory and a known settings record.

#include "platform/fakeplatform.h"
#include "settings/appdir.h"
#include "settings/settings.h"

#include <QIcon>
#include <QStringList>
#include <QTemporaryDir>

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
    }
    ~PopupFixture()
    {
        AppDir::setOverride(QString());
        Platform::setInstance(nullptr);
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
