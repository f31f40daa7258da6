#include "settingsdraft.h"

#include "safefilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
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
        const QByteArray bytes = withoutStreamedValues(original.readAll(), &held);
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
    return SafeFileWriter::write(path, withBomAndCrLf(withHeldLines(file.readAll(), held)),
        SafeFileWriter::privatePermissions(), error);
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

namespace {
const QByteArray generalSection("[General]");

QByteArray lineKey(const QByteArray &line)
{
    const int equals = line.indexOf('=');
    return equals < 0 ? QByteArray() : line.left(equals).trimmed();
}

bool isSectionHeader(const QByteArray &line)
{
    return line.trimmed().startsWith('[');
}
}  // namespace

QByteArray SettingsDraft::withoutStreamedValues(const QByteArray &bytes, HeldLines *held)
{
    // Only "@" and "\\" (an escape may spell "@") can lead QSettings into
    // its binary decoding, in any element of a comma-separated value.
    if (!bytes.contains('@') && !bytes.contains('\\'))
        return bytes;
    static const QRegularExpression ownSize(QStringLiteral("^\\s*@Size\\(-?\\d+ -?\\d+\\)\\s*$"));
    static const QByteArray bom("\xef\xbb\xbf");
    QByteArray section = generalSection;
    QByteArray result;
    result.reserve(bytes.size());
    for (const QByteArray &line : bytes.split('\n')) {
        // Windows' files end their lines with CR CR LF (QSettings' CR LF
        // with every LF turned into CR LF).
        QByteArray bare = line;
        while (bare.endsWith('\r'))
            bare.chop(1);
        if (bare.startsWith(bom))
            bare.remove(0, bom.size());
        if (isSectionHeader(bare))
            section = bare.trimmed();
        const int equals = line.indexOf('=');
        const QByteArray value = equals < 0 ? QByteArray() : line.mid(equals + 1);
        const bool risky = (value.contains('@') || value.contains('\\'))
            && !ownSize.match(QString::fromLatin1(value)).hasMatch();
        if (!risky)
            result += line + '\n';
        else if (held)
            held->append({ section, lineKey(bare), bare });
    }
    result.chop(1);  // the split gave one piece more than there are line feeds
    return result;
}

QByteArray SettingsDraft::withHeldLines(const QByteArray &written, const HeldLines &held)
{
    if (held.isEmpty())
        return written;
    QList<QByteArray> lines = written.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    // The keys QSettings wrote, by section.
    QByteArray section = generalSection;
    QSet<QByteArray> writtenKeys;
    QSet<QByteArray> writtenSections;
    for (const QByteArray &line : qAsConst(lines)) {
        if (isSectionHeader(line)) {
            section = line.trimmed();
            writtenSections.insert(section);
        } else if (!lineKey(line).isEmpty()) {
            writtenKeys.insert(section + '\n' + lineKey(line));
        }
    }
    // Held lines end as QSettings ends its lines (CR LF on Windows).
    const QByteArray lineEnd = written.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const auto heldIn = [&](const QByteArray &wanted) {
        QByteArray text;
        for (const HeldLine &line : held) {
            if (line.section == wanted && !writtenKeys.contains(line.section + '\n' + line.key))
                text += line.line + lineEnd;
        }
        return text;
    };

    // Each section's held lines go after its last line, before the blank
    // line QSettings leaves between sections.
    QByteArray result;
    QByteArray pendingBlank;
    section = QByteArray();
    const auto closeSection = [&] {
        if (!section.isEmpty())
            result += heldIn(section);
        result += pendingBlank;
        pendingBlank.clear();
    };
    for (const QByteArray &line : qAsConst(lines)) {
        if (isSectionHeader(line)) {
            closeSection();
            section = line.trimmed();
            result += line + '\n';
        } else if (line.trimmed().isEmpty()) {
            pendingBlank += line + '\n';
        } else {
            result += pendingBlank + line + '\n';
            pendingBlank.clear();
        }
    }
    closeSection();

    // Sections that hold nothing but held lines.
    QList<QByteArray> missing;
    for (const HeldLine &line : held) {
        if (!writtenSections.contains(line.section) && !missing.contains(line.section))
            missing << line.section;
    }
    for (const QByteArray &header : qAsConst(missing)) {
        if (!result.isEmpty() && !result.endsWith(lineEnd + lineEnd))
            result += lineEnd;
        result += header + lineEnd + heldIn(header);
    }
    return result;
}

QString SettingsDraft::heldText(const QString &key) const
{
    const int slash = key.indexOf(QLatin1Char('/'));
    const QByteArray section = slash < 0 ? generalSection : '[' + key.left(slash).toUtf8() + ']';
    const QByteArray name = key.mid(slash + 1).toUtf8();
    for (const HeldLine &line : held) {
        if (line.section != section || line.key != name)
            continue;
        const QByteArray value = line.line.mid(line.line.indexOf('=') + 1).trimmed();
        if (value.startsWith("@@") && !value.contains('\\'))
            return QString::fromUtf8(value.mid(1));
        return QString();
    }
    return QString();
}
