#ifndef LINEGROUP_H
#define LINEGROUP_H

#include <QString>
#include <QTextBlock>
#include <QTextBlockUserData>

// Attached to a block of the preview that shows several short lines of the
// entry, joined by line separators (see PieceCutter): the highlighter
// colours each of them on its own, each separator gets the line end mark,
// and copying gives a line feed for it.
class LineGroup : public QTextBlockUserData
{
public:
    LineGroup(const QString &entry, int start, int end, int length);

    // The group `block` shows; null when it is no group, or no longer shows
    // its lines as they were (the user has edited it).
    static const LineGroup *of(const QTextBlock &block);

    // The entry shown (shared, not copied), where the group's lines start
    // in it and where the last one ends, and the block's length.
    const QString entry;
    const int start;
    const int end;
    const int length;
};

#endif  // LINEGROUP_H
