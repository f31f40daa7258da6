#ifndef DARKLOOK_H
#define DARKLOOK_H

#include <QPalette>
#include <QString>

class Settings;

// The dark look installed at start-up when darkmode is on: a palette built
// from the palette/ colours and the optional style sheet quillet.qss.
class DarkLook
{
public:
    // `base` with the thirteen roles of the settings and dark-green disabled text.
    static QPalette palette(const QPalette &base, const Settings &settings);
    // The style sheet from the raw bytes of quillet.qss: Latin-1 up to the
    // first zero byte, with every "url(" pointing into `appDir`.
    static QString styleSheet(const QByteArray &bytes, const QString &appDir);
    // Installs both for the whole application when darkmode is on; with
    // darkmode off neither the palette nor the style sheet is touched.
    // `appDir` holds quillet.qss.
    static void install(const Settings &settings, const QString &appDir);
};

#endif  // DARKLOOK_H
