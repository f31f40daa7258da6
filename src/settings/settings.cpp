#include "settings.h"

#include "appdir.h"
#include "cliplistfile.h"
#include "safefilewriter.h"
#include "savefailure.h"
#include "settingsdraft.h"

#include <QDebug>
#include <QFile>
#include <QScopedPointer>
#include <QSettings>

const Settings::ColorKey Settings::colorKeys[30] = {
    { "color/backcolor", &Settings::backcolor, "#0a1b34" },
    { "color/forecolor", &Settings::forecolor, "#ffffff" },
    { "color/hlbackcolor", &Settings::hlbackcolor, "#4682b4" },
    { "color/hlforecolor", &Settings::hlforecolor, "#ffffff" },
    { "color/cursorcolor", &Settings::cursorcolor, "#445566" },
    { "color/findcolor", &Settings::findcolor, "#ff0000" },
    { "color/reteralcolor", &Settings::reteralcolor, "#ffff7f" },
    { "color/reservecolor", &Settings::reservecolor, "#00ffff" },
    { "color/valuecolor", &Settings::valuecolor, "#ffaa00" },
    { "color/funccolor", &Settings::funccolor, "#ffffff" },
    { "color/classcolor", &Settings::classcolor, "#7efff5" },
    { "color/ctrlcolor", &Settings::ctrlcolor, "#7777bb" },
    { "color/lnumforecolor", &Settings::lnumforecolor, "#aaff7f" },
    { "color/lnumbackcolor", &Settings::lnumbackcolor, "#535353" },
    { "color/fnamecolor", &Settings::fnamecolor, "yellow" },
    { "color/commentcolor", &Settings::commentcolor, "#aaff7f" },
    { "color/header_backcolor", &Settings::header_backcolor, "#d2d2d2" },
    { "palette/Window", &Settings::paletteWindow, "#353535" },
    { "palette/WindowText", &Settings::paletteWindowText, "#ffffff" },
    { "palette/Base", &Settings::paletteBase, "#191919" },
    { "palette/AlternateBase", &Settings::paletteAlternateBase, "#353535" },
    { "palette/ToolTipBase", &Settings::paletteToolTipBase, "#ffffff" },
    { "palette/ToolTipText", &Settings::paletteToolTipText, "#ffffff" },
    { "palette/Text", &Settings::paletteText, "#ffffff" },
    { "palette/Button", &Settings::paletteButton, "#353535" },
    { "palette/ButtonText", &Settings::paletteButtonText, "#ffffff" },
    { "palette/BrightText", &Settings::paletteBrightText, "#ff0000" },
    { "palette/Link", &Settings::paletteLink, "#2a82da" },
    { "palette/Highlight", &Settings::paletteHighlight, "#2a82da" },
    { "palette/HighlightedText", &Settings::paletteHighlightedText, "#000000" },
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
{ }

Settings *Settings::instance()
{
    static Settings settings;
    return &settings;
}

void Settings::load()
{
    loadOptions();
    loadPendingHistory();
}

void Settings::loadPendingHistory()
{
    if (historyPending)
        loadHistory();
}

void Settings::loadOptions()
{
    const QString prefix = AppDir::path() + QLatin1Char('/');
    // Read through a copy without the values QSettings would decode from a
    // binary stream: a damaged one would end the program. Without a copy
    // (no temporary directory, an unreadable file) the file is read as it is.
    const QString iniPath = prefix + QStringLiteral("quillet.ini");
    SettingsDraft draft(iniPath);
    QString error;
    QScopedPointer<QSettings> direct;
    if (!draft.open(&error)) {
        direct.reset(new QSettings(iniPath, QSettings::IniFormat));
        direct->setIniCodec("UTF-8");
    }
    QSettings &ini = direct ? *direct : *draft.settings();
    // A family whose name starts with "@" (a vertical-writing font on
    // Windows) is stored as "@@...", which the guard holds back.
    const auto family = [&ini, &draft](const QString &key, const QString &fallback) {
        const QString held = draft.isOpen() ? draft.heldText(key) : QString();
        return held.isEmpty() ? ini.value(key, fallback).toString() : held;
    };

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
    pasteChords = PasteChords();
    pasteChords.readUserSection(ini);

    // One QFont serves both fonts: a point size the font refuses (0 or less)
    // leaves the size read for the text font in place for the input font.
    QFont font;
    font.setFamily(family(QStringLiteral("font/text_family"), QStringLiteral("IPAゴシック")));
    font.setPointSize(ini.value(QStringLiteral("font/text_pointSize"), 14).toInt());
    font.setWeight(ini.value(QStringLiteral("font/text_bold"), false).toBool() ? 75 : 50);
    textFont = font;
    font.setFamily(family(QStringLiteral("font/inp_family"), QStringLiteral("MS UI Gothic")));
    font.setPointSize(ini.value(QStringLiteral("font/inp_pointSize"), 9).toInt());
    font.setWeight(ini.value(QStringLiteral("font/inp_bold"), false).toBool() ? 75 : 50);
    inpFont = font;

    for (const ColorKey &color : colorKeys) {
        const QColor fallback(QLatin1String(color.defaultName));
        (this->*color.member).setNamedColor(ini.value(QLatin1String(color.key), fallback).toString());
    }

    historyPending = true;
}

void Settings::loadHistory()
{
    historyPending = false;
    ClipListFile(AppDir::path() + QLatin1Char('/')).load(histmax, &history);
}

namespace {
// An existing file that cannot be read must not be written over: whatever
// it holds would be lost.
bool isReadableOrAbsent(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return true;
    return file.open(QIODevice::ReadOnly);
}
}  // namespace

void Settings::save(bool purgeOlderCopies)
{
    // Never an empty history over the file for want of reading it first.
    loadPendingHistory();
    const SaveOutcome outcome = saveTo(AppDir::path(), purgeOlderCopies);
    if (!outcome.ok)
        SaveFailure::report(outcome.failedPath, outcome.reason);
}

SaveOutcome Settings::saveTo(const QString &directory, bool purgeOlderCopies, FileStamp *ownClipList) const
{
    SaveOutcome outcome;
    const QString prefix = directory + QLatin1Char('/');
    const QString iniPath = prefix + QStringLiteral("quillet.ini");
    const bool iniReadable = isReadableOrAbsent(iniPath);
    QString error;
    SettingsDraft draft(iniPath);
    if (iniReadable && draft.open(&error)) {
        QSettings *ini = draft.settings();
        ini->setValue(QStringLiteral("size"), size);
        ini->setValue(QStringLiteral("case"), ignoreCase);
        ini->setValue(QStringLiteral("word"), word);
        ini->setValue(QStringLiteral("linewrap"), linewrap);
        ini->setValue(QStringLiteral("font/text_family"), textFont.family());
        ini->setValue(QStringLiteral("font/text_pointSize"), textFont.pointSize());
        ini->setValue(QStringLiteral("font/text_bold"), textFont.weight() > 57);
        ini->setValue(QStringLiteral("font/inp_family"), inpFont.family());
        ini->setValue(QStringLiteral("font/inp_pointSize"), inpFont.pointSize());
        ini->setValue(QStringLiteral("font/inp_bold"), inpFont.weight() > 57);
        for (const ColorKey &color : colorKeys)
            ini->setValue(QLatin1String(color.key), (this->*color.member).name());
    }

    // The clip list goes first, while the settings are still open.
    QString failedPath;
    QString clipError;
    if (!ClipListFile(prefix).save(history, purgeOlderCopies, &failedPath, &clipError, ownClipList))
        outcome.fail(failedPath, clipError);

    if (!iniReadable) {
        outcome.fail(iniPath, QStringLiteral("the file cannot be read"));
    } else if (!draft.isOpen() || !draft.commit(&error)) {
        outcome.fail(iniPath, error);
    } else {
        qDebug() << "WriteUtf8Bom" << iniPath << "write with BOM";
    }
    return outcome;
}

void Settings::WriteUtf8Bom(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = SettingsDraft::withBomAndCrLf(file.readAll());
        file.close();
    } else if (file.exists()) {
        return;  // rewriting it would lose what it holds
    } else {
        bytes = SettingsDraft::withBomAndCrLf(QByteArray());
    }
    const QFileDevice::Permissions permissions
        = file.exists() ? file.permissions() : SafeFileWriter::privatePermissions();
    QString error;
    if (!SafeFileWriter::write(path, bytes, permissions, &error)) {
        SaveFailure::report(path, error);
        return;
    }
    qDebug() << "WriteUtf8Bom" << path << "write with BOM";
}
