#ifndef SETTINGSDRAFT_H
#define SETTINGSDRAFT_H

#include <QScopedPointer>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

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

    // `bytes` without the lines whose value QSettings would, or through its
    // escapes could, decode from a binary stream ("@Variant(...)",
    // "@DateTime(...)"): a damaged one makes QSettings allocate without
    // bound and end the program. The program writes no such value; its only
    // value with "@" is "@Size(w h)", which is kept.
    static QByteArray withoutStreamedValues(const QByteArray &bytes);

private:
    const QString path;
    QTemporaryDir scratch;
    QScopedPointer<QSettings> draft;
};

#endif  // SETTINGSDRAFT_H
