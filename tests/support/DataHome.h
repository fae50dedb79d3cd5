#pragma once
// The programs under test take backups before they write to a device: in a test program they go
// to a temporary folder of its own, also when it runs outside ctest, never into the user's.

#include <cstdlib>
#include <string>

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

#ifdef _WIN32
inline constexpr const char* kDataVariable = "LOCALAPPDATA";
inline constexpr const char* kBackupSubfolder = "Quelvar GSM\\backups";
#else
inline constexpr const char* kDataVariable = "XDG_DATA_HOME";
inline constexpr const char* kBackupSubfolder = "quelvar-gsm/backups";
#endif

inline void SetDataHome(const std::string& folder) {
#ifdef _WIN32
    _putenv_s(kDataVariable, folder.c_str());
#else
    setenv(kDataVariable, folder.c_str(), 1);
#endif
}

// The programs a test starts take their backups in `folder` until the object goes.
class ScopedDataHome {
  public:
    explicit ScopedDataHome(const std::string& folder) { SetDataHome(folder); }
    ~ScopedDataHome() { SetDataHome(old_); }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

  private:
    std::string old_ = std::getenv(kDataVariable) ? std::getenv(kDataVariable) : "";
};

}  // namespace quelvar::test
