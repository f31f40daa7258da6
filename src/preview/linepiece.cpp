#include "linepiece.h"

LinePiece::LinePiece(
    const QString &entry, quint64 entrySerial, int lineStart, int offset, int length, bool continued)
    : entry(entry)
    , entrySerial(entrySerial)
    , lineStart(lineStart)
    , offset(offset)
    , length(length)
    , continued(continued)
{ }

const LinePiece *LinePiece::of(const QTextBlock &block)
{
    if (!block.isValid())
        return nullptr;
    const auto *piece = dynamic_cast<const LinePiece *>(block.userData());
    if (!piece || block.length() - 1 != piece->length)
        return nullptr;
    // A block split or joined by an edit keeps its data on its first part.
    if (block.text() != piece->entry.midRef(piece->lineStart + piece->offset, piece->length))
        return nullptr;
    return piece;
}
