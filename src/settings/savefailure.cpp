#include "savefailure.h"

#include <QDir>

#include <cstdio>

namespace {
bool &reportedFlag()
{
    static bool flag = false;
    return flag;
}
}  // namespace

void SaveFailure::report(const QString &path, const QString &reason)
{
    if (reportedFlag())
        return;
    reportedFlag() = true;
    const QString line
        = QStringLiteral("quillet: cannot save to %1: %2\n").arg(QDir::toNativeSeparators(path), reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

bool SaveFailure::reported()
{
    return reportedFlag();
}
