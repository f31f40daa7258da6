#ifndef SAVEOUTCOME_H
#define SAVEOUTCOME_H

#include "background/handover.h"

#include <QMetaType>
#include <QString>

// How a save of the settings file and the clip list file went: on failure,
// the first file that could not be written and why. The files then hold
// what they held before.
struct SaveOutcome
{
    bool ok = true;
    QString failedPath;
    QString reason;

    void fail(const QString &path, const QString &why)
    {
        if (!ok)
            return;  // the first failure is the one to tell
        ok = false;
        failedPath = path;
        reason = why;
    }

    // Last: see HandOverMark.
    HandOverMark<SaveOutcome> handOver;
};

Q_DECLARE_METATYPE(SaveOutcome)

#endif  // SAVEOUTCOME_H
