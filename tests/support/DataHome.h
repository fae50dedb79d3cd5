#pragma once
// The programs under test take backups before they write to a device: in a test program they go
// to a temporary folder of its own, also when it runs outside ctest, never into the user's.

#include <cstdlib>

#include "support/SettingsFiles.h"

namespace quelvar::test {

class TemporaryDataHome {
  public:
    TemporaryDataHome() {
#ifdef _WIN32
        _putenv_s("LOCALAPPDATA", dir.path.string().c_str());
#else
        setenv("XDG_DATA_HOME", dir.path.string().c_str(), 1);
#endif
    }
    TempDir dir;
};

inline const TemporaryDataHome kTemporaryDataHome;

}  // namespace quelvar::test
