#include "settingsdraft.h"

#include "safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

namespace {
// Where the scratch directory goes: the user's runtime directory when the
// system has one (a memory file system on Linux desktops, so the draft costs
// no disk flush), else the temporary directory.
QString scratchTemplate()
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable()
        ? runtime
        : QDir::tempPath();
    return base + QStringLiteral("/quillet-XXXXXX");
}
}  // namespace

SettingsDraft::SettingsDraft(const QString &path)
    : path(path)
    , scratch(scratchTemplate())
{ }

SettingsDraft::~SettingsDraft() = default;

bool SettingsDraft::open(QString *error)
{
    if (!scratch.isValid()) {
        *error = QStringLiteral("no temporary directory: %1").arg(scratch.errorString());
        return false;
    }
    const QString copy = scratch.filePath(QStringLiteral("quillet.ini"));
    QFile original(path);
    if (original.exists()) {
        if (!original.open(QIODevice::ReadOnly)) {
            *error = original.errorString();
            return false;
        }
        QFile file(copy);
        const QByteArray bytes = withoutStreamedValues(original.readAll());
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
            *error = file.errorString();
            return false;
        }
    }
    draft.reset(new QSettings(copy, QSettings::IniFormat));
    draft->setIniCodec("UTF-8");
    return true;
}

bool SettingsDraft::isOpen() const
{
    return !draft.isNull();
}

QSettings *SettingsDraft::settings() const
{
    return draft.data();
}

bool SettingsDraft::commit(QString *error)
{
    const QString copy = draft->fileName();
    draft->sync();
    // The status keeps the first problem met: a byte order mark in the file
    // read counts as one, so only an access error means "not written".
    const bool written = draft->status() != QSettings::AccessError;
    draft.reset();
    QFile file(copy);
    if (!written || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the settings could not be written");
        return false;
    }
    // One write for the final form: a disk that fills up leaves the old
    // file, never a new one in an intermediate form.
    return SafeFileWriter::write(
        path, withBomAndCrLf(file.readAll()), SafeFileWriter::privatePermissions(), error);
}

QByteArray SettingsDraft::withBomAndCrLf(const QByteArray &bytes)
{
    QString text;
    {
        QTextStream in(bytes, QIODevice::ReadOnly);
        in.setCodec(QTextCodec::codecForName("UTF-8"));
        text = in.readAll();
    }
    QByteArray result;
    {
        QTextStream out(&result, QIODevice::WriteOnly);
        out.setGenerateByteOrderMark(true);
        out.setCodec(QTextCodec::codecForName("UTF-8"));
        out << text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    }
    return result;
}

QByteArray SettingsDraft::withoutStreamedValues(const QByteArray &bytes)
{
    // Only "@" and "\\" (an escape may spell "@") can lead QSettings into
    // its binary decoding, in any element of a comma-separated value.
    if (!bytes.contains('@') && !bytes.contains('\\'))
        return bytes;
    static const QRegularExpression ownSize(QStringLiteral("^\\s*@Size\\(-?\\d+ -?\\d+\\)\\s*$"));
    QByteArray result;
    result.reserve(bytes.size());
    for (const QByteArray &line : bytes.split('\n')) {
        const int equals = line.indexOf('=');
        const QByteArray value = equals < 0 ? QByteArray() : line.mid(equals + 1);
        const bool risky = (value.contains('@') || value.contains('\\'))
            && !ownSize.match(QString::fromLatin1(value)).hasMatch();
        if (!risky)
            result += line + '\n';
    }
    result.chop(1);  // the split gave one piece more than there are line feeds
    return result;
}
