#ifndef SETTINGSDRAFT_H
#define SETTINGSDRAFT_H

#include <QScopedPointer>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

// The next content of the settings file, prepared with QSettings on a copy
// of the file in a private scratch directory and then put in place in one
// step. QSettings itself never writes beside the executable: a process
// killed while QSettings writes would leave its lock file there, empty, and
// make the next save wait for it.
class SettingsDraft
{
public:
    explicit SettingsDraft(const QString &path);
    ~SettingsDraft();

    // Copies the file (if it exists) and opens QSettings on the copy.
    bool open(QString *error);
    bool isOpen() const;
    // The settings of the copy, while open.
    QSettings *settings() const;
    // Writes the copy and moves its content, as UTF-8 with a byte order
    // mark and CR LF line ends, over the file in one step, private to the
    // user. The file keeps its old content when this fails.
    bool commit(QString *error);

    // `bytes` (UTF-8, with or without a byte order mark) as UTF-8 with a
    // byte order mark and every LF turned into CR LF.
    static QByteArray withBomAndCrLf(const QByteArray &bytes);

    // A line of the file kept away from QSettings, with the header of the
    // section it stands in ("[General]" for the lines before any header).
    struct HeldLine
    {
        QByteArray section;
        QByteArray key;
        QByteArray line;
    };
    using HeldLines = QVector<HeldLine>;

    // `bytes` without the lines whose value QSettings would, or through its
    // escapes could, decode from a binary stream ("@Variant(...)",
    // "@DateTime(...)"): a damaged one makes QSettings allocate without
    // bound and end the program. Every value holding "@" or "\\" is held
    // back, except the program's own "@Size(w h)". The lines held back are
    // added to `held`, in the order of the file.
    static QByteArray withoutStreamedValues(const QByteArray &bytes, HeldLines *held = nullptr);
    // `written` (as QSettings writes a file) with the `held` lines put back
    // as the raw text they were: each at the end of its section, in their
    // order, the section added when QSettings wrote none. A held line whose
    // key QSettings wrote in the same section gives way to the new value.
    static QByteArray withHeldLines(const QByteArray &written, const HeldLines &held);

    // The text of a key held back from QSettings ("font/text_family"), for
    // the one form that can be read without QSettings' decoding: "@@..."
    // spells a text starting with "@" (as QSettings writes such a text).
    // Empty when the key is not held or is in any other form.
    QString heldText(const QString &key) const;

private:
    const QString path;
    QTemporaryDir scratch;
    QScopedPointer<QSettings> draft;
    HeldLines held;
};

#endif  // SETTINGSDRAFT_H
