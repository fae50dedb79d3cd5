#pragma once
// The register as a program uses it: opened when first needed, a damaged file moved aside, the
// backup folder imported into a new one, and a failure said once while the program goes on (a
// register that cannot be used never stops a write that has its backup).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "register/SiteRegister.h"
#include "settings/BackupStore.h"

namespace quelvar::sites {

inline constexpr const char* kRegisterFileName = "register.sqlite";

// register.sqlite beside the backup folder; empty when the environment names no data folder.
std::filesystem::path DefaultRegisterFile(const settings::EnvironmentLookup& environment);

// Who records: the operating system's account and the computer's name, Windows-1250.
struct Recorder {
    std::string user;
    std::string computer;
    std::string program;  // "quelvar-gsm-cli 0.1.0"
};
Recorder ThisRecorder(std::string program);

class RegisterUse {
  public:
    // `file` empty: no register at all (nothing is said of it). The backups of `backupFolder`
    // are imported when the register is new.
    RegisterUse(std::filesystem::path file, std::filesystem::path backupFolder, Recorder recorder);
    ~RegisterUse();
    RegisterUse(const RegisterUse&) = delete;
    RegisterUse& operator=(const RegisterUse&) = delete;

    // Opens the register now: before a sequence takes its backup, so that a new register takes
    // in only the backups that were there before.
    void Prepare();
    // Runs `use` on the register; false when it cannot be opened or `use` failed (the reason is
    // kept for TakeProblem).
    bool Try(const std::function<void(SiteRegister&)>& use);
    // Records the revision with who recorded it, the changes from `before` (the backup's bytes)
    // or else from the site's newest settings, and its summary. Nothing when it failed.
    std::optional<std::int64_t> Record(RevisionRecord revision,
                                       const std::optional<std::string>& before);

    // "The site register cannot be used (...); going on without it", once; then empty.
    std::string TakeProblem();
    // What opening did that the user should know (a damaged file moved aside); once, then
    // empty.
    std::string TakeNotice();
    const std::filesystem::path& File() const { return file_; }

  private:
    SiteRegister* Open();
    void Fail(const std::string& what);

    std::filesystem::path file_;
    std::filesystem::path backupFolder_;
    Recorder recorder_;
    std::unique_ptr<SiteRegister> register_;
    bool tried_ = false;
    std::string problem_;
    bool problemSaid_ = false;
    std::string notice_;
};

// Imports every backup of the folder, oldest first, one revision each with its time from the
// name; returns how many. Throws RegisterError.
int ImportBackups(SiteRegister& reg, const settings::BackupStore& store, const Recorder& recorder);

}  // namespace quelvar::sites
