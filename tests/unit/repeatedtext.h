#ifndef REPEATEDTEXT_H
#define REPEATEDTEXT_H

#include <QString>

// `unit` repeated to `length` UTF-16 code units, one fewer where the cut
// would leave half of a surrogate pair at the end.
inline QString repeated(const QString &unit, int length)
{
    QString text;
    while (text.size() < length)
        text += unit;
    text.truncate(length);
    if (text.at(length - 1).isHighSurrogate())
        text.chop(1);
    return text;
}

#endif
