#include "darklook.h"

#include "settings/settings.h"

#include <QApplication>
#include <QFile>

QPalette DarkLook::palette(const QPalette &base, const Settings &settings)
{
    const struct
    {
        QPalette::ColorRole role;
        QColor Settings::*color;
    } roles[] = {
        { QPalette::Window, &Settings::paletteWindow },
        { QPalette::WindowText, &Settings::paletteWindowText },
        { QPalette::Base, &Settings::paletteBase },
        { QPalette::AlternateBase, &Settings::paletteAlternateBase },
        { QPalette::ToolTipBase, &Settings::paletteToolTipBase },
        { QPalette::ToolTipText, &Settings::paletteToolTipText },
        { QPalette::Text, &Settings::paletteText },
        { QPalette::Button, &Settings::paletteButton },
        { QPalette::ButtonText, &Settings::paletteButtonText },
        { QPalette::BrightText, &Settings::paletteBrightText },
        { QPalette::Link, &Settings::paletteLink },
        { QPalette::Highlight, &Settings::paletteHighlight },
        { QPalette::HighlightedText, &Settings::paletteHighlightedText },
    };
    QPalette result = base;
    for (const auto &entry : roles)
        result.setBrush(QPalette::All, entry.role, QBrush(settings.*entry.color, Qt::SolidPattern));
    result.setBrush(QPalette::Disabled, QPalette::Text, QBrush(Qt::darkGreen, Qt::SolidPattern));
    result.setBrush(QPalette::Disabled, QPalette::ButtonText, QBrush(Qt::darkGreen, Qt::SolidPattern));
    return result;
}

QString DarkLook::styleSheet(const QByteArray &bytes, const QString &appDir)
{
    const int end = bytes.indexOf('\0');
    QString sheet = QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
    // Relative image references in the sheet resolve against the directory
    // of the executable.
    sheet.replace(QLatin1String("url("), QLatin1String("url(") + appDir + QLatin1Char('/'));
    return sheet;
}

void DarkLook::install(const Settings &settings, const QString &appDir)
{
    if (!settings.darkmode)
        return;
    QApplication::setPalette(palette(QPalette(), settings));
    QFile file(appDir + QLatin1Char('/') + QStringLiteral("quillet.qss"));
    if (!file.exists())
        return;
    // An unreadable sheet reads as empty and is installed as such.
    file.open(QIODevice::ReadOnly);
    qApp->setStyleSheet(styleSheet(file.readAll(), appDir));
    file.close();
}
