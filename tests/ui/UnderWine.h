#pragma once
// Whether a Windows build of a test runs under Wine, whose window system differs from Windows
// in a few behaviours that some window tests rely on; those tests skip themselves there, with
// the reason, and the README lists them.

#ifdef _WIN32
#include <windows.h>
#endif

inline bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Skips the calling test function under Wine, saying why.
#define QUELVAR_SKIP_UNDER_WINE(why)   \
    do {                               \
        if (RunningUnderWine()) {      \
            QSKIP("Under Wine: " why); \
        }                              \
    } while (false)
