#ifndef SAVEFAILURE_H
#define SAVEFAILURE_H

#include <QString>

// Tells the user, once per process, that the settings or the history could
// not be written. The program goes on with everything in memory.
class SaveFailure
{
public:
    // Prints "quillet: cannot save to PATH: REASON" on standard error the
    // first time it is called and returns true; later calls print nothing
    // and return false. GUI thread only.
    static bool report(const QString &path, const QString &reason);
    // Whether report() was called in this process.
    static bool reported();
};

#endif  // SAVEFAILURE_H
