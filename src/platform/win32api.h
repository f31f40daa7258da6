#ifndef WIN32API_H
#define WIN32API_H

// The Win32 API, without the parts of windows.h the program does not use and
// without its min and max macros, which clash with Qt and the standard
// library. Included after every Qt header.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#endif  // WIN32API_H
