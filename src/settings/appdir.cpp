#include "appdir.h"

#include <QCoreApplication>

namespace {
QString &overridePath()
{
    static QString path;
    return path;
}
}  // namespace

QString AppDir::path()
{
    if (!overridePath().isEmpty())
        return overridePath();
    return QCoreApplication::applicationDirPath();
}

void AppDir::setOverride(const QString &directory)
{
    overridePath() = directory;
}
