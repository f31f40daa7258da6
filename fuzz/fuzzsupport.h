#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

// What the fuzz targets share: the Qt application object, a scratch
// directory for the readers of files, and the check that turns a broken
// promise of the code under test into a crash libFuzzer reports.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // Debug lines such as the one of the byte order mark rewrite would only
    // slow the run down; anything worse is shown.
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Creates the one application object of the process (offscreen, so that no
// display is needed) and silences Qt's debug output.
template <typename Application = QGuiApplication> inline void startQt(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietMessages);
    static Application *application = new Application(*argc, *argv);
    (void)application;
}

// A directory of its own under the temporary directory ($TMPDIR), removed
// when the process ends normally.
inline QString scratchDirectory()
{
    static QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/quillet-fuzz-XXXXXX"));
    if (!directory.isValid()) {
        std::fprintf(stderr, "cannot create a scratch directory under %s\n", qPrintable(QDir::tempPath()));
        std::abort();
    }
    return directory.path();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

}  // namespace fuzz

#endif  // FUZZSUPPORT_H
