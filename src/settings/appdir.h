#ifndef APPDIR_H
#define APPDIR_H

#include <QString>

// The application directory: the directory of the executable, which holds
// every file the program reads or writes. Tests point it elsewhere.
class AppDir
{
public:
    // The directory, forward slashes, no trailing slash.
    static QString path();
    // Makes path() answer `directory` instead (an empty string undoes it).
    static void setOverride(const QString &directory);
};

#endif  // APPDIR_H
