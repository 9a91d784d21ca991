// <windows.h> the way this project includes it: without the rarely used
// parts and the min/max macros, and without the macros that would rename
// this project's functions of the same names (Env::SetFileAttributes,
// Env::SetVolumeLabel, DialogService::MessageBox, the text functions
// AnsiToOem and OemToAnsi, FormatMessage) to their A/W variants, whatever
// the order of includes. Call the Win32 functions by their A names.
#ifndef TESSALY_PLATFORM_WINDOWS_WIN32_H_
#define TESSALY_PLATFORM_WINDOWS_WIN32_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef AnsiToOem
#undef FormatMessage
#undef MessageBox
#undef OemToAnsi
#undef SetFileAttributes
#undef SetVolumeLabel

#endif  // TESSALY_PLATFORM_WINDOWS_WIN32_H_
