#include "blockranges.h"

#include <algorithm>

int BlockRanges::count() const
{
    int total = 0;
    for (const auto &span : spans)
        total += span.second - span.first;
    return total;
}

// The index of the first range that ends after `number`.
int BlockRanges::firstEndingAfter(int number) const
{
    const auto it = std::upper_bound(spans.cbegin(), spans.cend(), number,
        [](int value, const QPair<int, int> &span) { return value < span.second; });
    return int(it - spans.cbegin());
}

bool BlockRanges::contains(int number) const
{
    const int i = firstEndingAfter(number);
    return i < spans.size() && spans.at(i).first <= number;
}

void BlockRanges::insert(int from, int to)
{
    if (from >= to)
        return;
    // Every range that touches or overlaps [from, to) merges into it.
    int i = firstEndingAfter(from - 1);
    int j = i;
    while (j < spans.size() && spans.at(j).first <= to) {
        from = std::min(from, spans.at(j).first);
        to = std::max(to, spans.at(j).second);
        ++j;
    }
    spans.erase(spans.begin() + i, spans.begin() + j);
    spans.insert(i, qMakePair(from, to));
}

void BlockRanges::remove(int from, int to)
{
    if (from >= to)
        return;
    int i = firstEndingAfter(from);
    while (i < spans.size() && spans.at(i).first < to) {
        const QPair<int, int> span = spans.at(i);
        if (span.first < from && span.second > to) {
            spans[i].second = from;
            spans.insert(i + 1, qMakePair(to, span.second));
            return;
        }
        if (span.first < from) {
            spans[i].second = from;
            ++i;
        } else if (span.second > to) {
            spans[i].first = to;
            return;
        } else {
            spans.remove(i);
        }
    }
}
