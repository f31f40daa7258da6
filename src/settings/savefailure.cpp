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

bool SaveFailure::report(const QString &path, const QString &reason)
{
    if (reportedFlag())
        return false;
    reportedFlag() = true;
    const QString line
        = QStringLiteral("quillet: cannot save to %1: %2\n").arg(QDir::toNativeSeparators(path), reason);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    return true;
}

bool SaveFailure::reported()
{
    return reportedFlag();
}
