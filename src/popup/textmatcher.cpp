#include "textmatcher.h"

#include <QHash>
#include <QtAlgorithms>

#include <cstddef>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {
// The case fold of every UTF-16 code unit, made once: Qt's own lookup
// costs more than the search around it.
const ushort *foldTable()
{
    static const QVector<ushort> table = [] {
        QVector<ushort> folds(0x10000);
        for (uint unit = 0; unit < 0x10000; ++unit)
            folds[int(unit)] = ushort(QChar::toCaseFolded(unit));
        return folds;
    }();
    return table.constData();
}

// The fold of text[k] as Qt compares it when the case is ignored: the
// second half of a surrogate pair stands for the whole character.
inline char32_t foldedAt(const ushort *text, int k, const ushort *folds)
{
    const ushort unit = text[k];
    if (QChar::isLowSurrogate(unit) && k > 0 && QChar::isHighSurrogate(text[k - 1]))
        return QChar::toCaseFolded(QChar::surrogateToUcs4(text[k - 1], unit));
    return folds[unit];
}

// How seldom a unit is expected in the history: spaces least seldom, then
// letters in the order of their frequency in English text and code, digits
// and punctuation, and anything outside ASCII most seldom.
int rarity(ushort unit)
{
    static const char letters[] = "etaoinsrhldcumfpgwybvkxjqz";
    if (unit >= 0x80)
        return 40;
    if (unit == ' ' || unit == '\t' || unit == '\n' || unit == '\r')
        return 0;
    const char *letter = std::strchr(letters, QChar::toLower(unit));
    if (letter && *letter)
        return 10 + int(letter - letters);
    if (unit >= '0' && unit <= '9')
        return 20;
    return 30;
}
}  // namespace

TextMatcher::TextMatcher(const QString &needle, Qt::CaseSensitivity caseMode)
    : pattern(needle)
    , mode(caseMode)
{
    const int length = pattern.size();
    const ushort *units = pattern.utf16();
    const ushort *folds = foldTable();
    const bool folding = mode == Qt::CaseInsensitive;
    keys.resize(length);
    for (int j = 0; j < length; ++j) {
        if (!folding)
            keys[j] = units[j];
        else if (length == 1)
            keys[j] = folds[units[j]];  // a one-unit needle meets single units
        else
            keys[j] = foldedAt(units, j, folds);
    }
    lowSurrogateFirst = folding && length > 1 && QChar::isLowSurrogate(units[0]);

    // The anchor is the unit the needle repeats least, the rarest of those;
    // a unit the needle repeats makes every place of a run of it a
    // candidate. It is never the second half of a pair whose fold is
    // compared whole: no single unit of a text stands for that.
    QHash<char32_t, int> repeats;
    for (const char32_t key : qAsConst(keys))
        ++repeats[key];
    int best = -1;
    for (int j = 0; j < length; ++j) {
        if (keys[j] > 0xffff)
            continue;
        if (best < 0 || repeats.value(keys[j]) < repeats.value(keys[best])
            || (repeats.value(keys[j]) == repeats.value(keys[best])
                && rarity(units[j]) > rarity(units[best])))
            best = j;
    }
    anchor = qMax(0, best);
    if (length == 0)
        return;
    if (!folding) {
        variants.append(units[anchor]);
        return;
    }
    const char32_t key = keys[anchor];
    for (uint unit = 0; unit < 0x10000; ++unit) {
        if (folds[unit] == key)
            variants.append(ushort(unit));
    }
}

int TextMatcher::indexIn(const QString &text, int from, int to) const
{
    const int size = text.size();
    const int length = pattern.size();
    from = qMax(0, from);
    if (length == 0)
        return from <= size && from < to ? from : -1;
    const int end = int(qMin<qint64>(to, qint64(size) - length + 1));
    if (from >= end)
        return -1;
    return scan(text.utf16(), size, from, end);
}

// The first start in [from, end) where the needle stands; `end` leaves room
// for the whole needle.
int TextMatcher::scan(const ushort *text, int size, int from, int end) const
{
    int k = from + anchor;
    const int stop = end + anchor;
#if defined(__SSE2__) || defined(_M_X64)
    if (variants.size() <= maxWideVariants) {
        // Sixteen units at a time against every variant of the anchor.
        const ushort *v = variants.constData();
        const int n = variants.size();
        const __m128i v0 = _mm_set1_epi16(short(v[0]));
        const __m128i v1 = _mm_set1_epi16(short(v[n > 1 ? 1 : 0]));
        const __m128i v2 = _mm_set1_epi16(short(v[n > 2 ? 2 : 0]));
        const __m128i v3 = _mm_set1_epi16(short(v[n > 3 ? 3 : 0]));
        for (; k + 16 <= stop; k += 16) {
            const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + k));
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + k + 8));
            __m128i lowEqual = _mm_cmpeq_epi16(low, v0);
            __m128i highEqual = _mm_cmpeq_epi16(high, v0);
            if (n > 1) {
                lowEqual = _mm_or_si128(lowEqual, _mm_cmpeq_epi16(low, v1));
                highEqual = _mm_or_si128(highEqual, _mm_cmpeq_epi16(high, v1));
            }
            if (n > 2) {
                lowEqual = _mm_or_si128(
                    lowEqual, _mm_or_si128(_mm_cmpeq_epi16(low, v2), _mm_cmpeq_epi16(low, v3)));
                highEqual = _mm_or_si128(
                    highEqual, _mm_or_si128(_mm_cmpeq_epi16(high, v2), _mm_cmpeq_epi16(high, v3)));
            }
            // Two mask bits per unit.
            quint32 mask = quint32(_mm_movemask_epi8(lowEqual)) | quint32(_mm_movemask_epi8(highEqual)) << 16;
            while (mask) {
                const int at = k + int(qCountTrailingZeroBits(mask)) / 2 - anchor;
                if (matchesAt(text, size, at))
                    return at;
                mask &= mask - 1;
                mask &= mask - 1;
            }
        }
    }
#endif
    if (mode == Qt::CaseSensitive) {
        const ushort unit = variants.value(0);
        for (; k < stop; ++k) {
            if (text[k] == unit && matchesAt(text, size, k - anchor))
                return k - anchor;
        }
        return -1;
    }
    const ushort *folds = foldTable();
    const char32_t key = keys.at(anchor);
    for (; k < stop; ++k) {
        if (folds[text[k]] == key && matchesAt(text, size, k - anchor))
            return k - anchor;
    }
    return -1;
}

bool TextMatcher::matchesAt(const ushort *text, int size, int at) const
{
    const int length = keys.size();
    if (mode == Qt::CaseSensitive)
        return std::memcmp(text + at, pattern.utf16(), size_t(length) * sizeof(ushort)) == 0;
    const ushort *folds = foldTable();
    if (length == 1)
        return folds[text[at]] == keys.at(0);
    if (lowSurrogateFirst) {
        if (!matchesFirstUnit(text, size, at))
            return false;
    } else if (foldedAt(text, at, folds) != keys.at(0)) {
        return false;
    }
    for (int j = 1; j < length; ++j) {
        if (foldedAt(text, at + j, folds) != keys.at(j))
            return false;
    }
    return true;
}

// The needle's first unit is a low surrogate, compared alone. Where the
// text has the second half of a pair there, Qt compares the units alone
// (equal only if they are the same unit) but reaches the place through one
// of two searches that fold the pair whole: Boyer-Moore (texts over 500
// units, needles over 5) compares those folds and never finds it; the
// hashed search (everything else) adds each fold into a size_t, shifted by
// its distance from the needle's end, and finds it only when the difference
// of the folds has been shifted out of the hash entirely.
bool TextMatcher::matchesFirstUnit(const ushort *text, int size, int at) const
{
    const ushort unit = text[at];
    if (!(at > 0 && QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(text[at - 1])))
        return unit == keys.at(0);
    if (unit != keys.at(0))
        return false;
    const int length = keys.size();
    if (size > 500 && length > 5)
        return false;
    const quint64 difference = quint64(std::size_t(foldedAt(text, at, foldTable())) - unit);
    const int hashBits = int(sizeof(std::size_t)) * CHAR_BIT;
    return length - 1 >= hashBits || int(qCountTrailingZeroBits(difference)) + length - 1 >= hashBits;
}
