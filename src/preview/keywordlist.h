#ifndef KEYWORDLIST_H
#define KEYWORDLIST_H

#include <QString>
#include <QStringList>

// The content of a keyword list file (list/NAME.lst beside the executable):
// the keyword lines in file order, how many of them are whole words, and the
// expression of a single-line comment.
//
// Each line is a marker line (it holds "##NOTWORD##"), a comment line (it
// holds "SingleLineComment") or a keyword line (any other line, the empty one
// included), tested in that order. The keyword lines before the last marker
// line are whole words; without a marker every keyword line is one. A marker
// line before the first keyword line makes every keyword line a free
// expression.
class KeywordList
{
public:
    // The file of the list `name` in the application directory.
    static QString pathFor(const QString &name);

    // Reads the file at `path`. Returns false, leaving the list empty, when
    // the file cannot be opened. The text is decoded with the locale's
    // encoding unless a byte order mark selects UTF-8, UTF-16 or UTF-32.
    bool read(const QString &path);

    QStringList keywordLines;
    // Keyword lines with an index below this are wrapped in word boundaries.
    int wordLimit = 0;
    // Empty when the file gives no comment expression.
    QString commentPattern;

private:
    void clear();
};

#endif  // KEYWORDLIST_H
