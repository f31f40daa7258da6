#include "keywordlist.h"

#include <QFile>
#include <QRegExp>
#include <QTextStream>

#include "settings/appdir.h"

namespace {
const QString markerWord = QStringLiteral("##NOTWORD##");
const QString commentWord = QStringLiteral("SingleLineComment");
}  // namespace

QString KeywordList::pathFor(const QString &name)
{
    return AppDir::path() + QStringLiteral("/list/") + name + QStringLiteral(".lst");
}

void KeywordList::clear()
{
    keywordLines.clear();
    wordLimit = 0;
    commentPattern.clear();
}

bool KeywordList::read(const QString &path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    // No codec is set: the stream decodes with the locale's encoding and
    // switches to UTF-8/16/32 when the file starts with a byte order mark.
    QTextStream stream(&file);
    const QRegExp commentKey(commentWord + QStringLiteral("[ ]*="), Qt::CaseSensitive, QRegExp::RegExp);
    bool markerSeen = false;
    QString line;
    bool firstLine = true;
    // readLine ends a line at LF and drops a CR right before it.
    while (stream.readLineInto(&line)) {
        // The stream leaves a UTF-16 or UTF-32 byte order mark in the text.
        if (firstLine && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        firstLine = false;
        if (line.contains(markerWord)) {
            markerSeen = true;
            wordLimit = keywordLines.size();
        } else if (line.contains(commentWord)) {
            commentPattern = line;
            commentPattern.remove(commentKey);
        } else {
            keywordLines.append(line);
        }
    }
    file.close();

    if (!markerSeen)
        wordLimit = keywordLines.size();
    return true;
}
