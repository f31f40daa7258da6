#include "linegroup.h"

#include "piececutter.h"

LineGroup::LineGroup(const QString &entry, int start, int end, int length)
    : entry(entry)
    , start(start)
    , end(end)
    , length(length)
{ }

const LineGroup *LineGroup::of(const QTextBlock &block)
{
    if (!block.isValid())
        return nullptr;
    const auto *group = dynamic_cast<const LineGroup *>(block.userData());
    if (!group || block.length() - 1 != group->length)
        return nullptr;
    if (block.text() != PieceCutter::groupText(group->entry, group->start, group->end))
        return nullptr;
    return group;
}
