#ifndef BLOCKRANGES_H
#define BLOCKRANGES_H

#include <QPair>
#include <QVector>

// A set of block numbers, kept as sorted, disjoint, half-open ranges: the
// lines of a document that wait for their colours. Marking a whole document
// costs as little as marking one line.
class BlockRanges
{
public:
    bool isEmpty() const { return spans.isEmpty(); }
    int count() const;
    bool contains(int number) const;
    // The smallest number in the set, -1 when it is empty.
    int first() const { return spans.isEmpty() ? -1 : spans.first().first; }

    void clear() { spans.clear(); }
    void insert(int number) { insert(number, number + 1); }
    // Adds [from, to).
    void insert(int from, int to);
    void remove(int number) { remove(number, number + 1); }
    // Removes [from, to).
    void remove(int from, int to);

    // The ranges as [start, end) pairs, in order.
    const QVector<QPair<int, int>> &ranges() const { return spans; }

private:
    int firstEndingAfter(int number) const;

    QVector<QPair<int, int>> spans;
};

#endif  // BLOCKRANGES_H
