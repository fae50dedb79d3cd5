#pragma once
// What the device holds, as far as this program knows: the values the shown settings are
// compared with (for the pending mark and the close question), and the settings file a backup
// saves before anything overwrites the device.

#include <string>

#include "settings/BackupStore.h"
#include "settings/Catalogue.h"
#include "settings/SettingsCheck.h"

namespace quelvar::settings {

// SaveBackup's error when the last read of the device was not whole.
inline constexpr const char* kBackupReadIncomplete = "the device did not answer every read";

class HeldSettings {
  public:
    // The values now shown are what the device (or an opened file) holds: after a complete read,
    // a verify that matched, a file loaded into the device.
    void Remember(const SettingsModel& model, int modeIndex, const std::string& ackMask);
    // The same from a verify's read-back.
    void Remember(const SettingValues& values, int modeIndex, const std::string& ackMask);
    // A read of the whole device, for the next backup. An incomplete read, or settings that make
    // no file, leave the backup to read the device again.
    void NoteDeviceRead(const SettingsModel& held, int modeIndex, bool complete);
    void SetFirmware(std::string firmware) { firmware_ = std::move(firmware); }
    // Something is about to overwrite the device: until a read says otherwise, what it holds is
    // not known and the next backup reads it again.
    void Overwriting();
    // Nothing is known (a device gone, a new log-in under way).
    void Forget() { *this = HeldSettings(); }

    bool Known() const { return !values_.empty(); }
    bool Uncertain() const { return uncertain_; }
    // The backup must read the device first.
    bool BackupStale() const { return backupStale_; }
    int Mode() const { return mode_; }
    const std::string& AckMask() const { return ackMask_; }
    const SettingValues& Values() const { return values_; }
    const std::string& Firmware() const { return firmware_; }
    // The account ID the device holds now: the remembered values' while they are certain,
    // otherwise that of the last whole read. Empty when neither is known.
    std::string AccountId() const;

    // How many settings (the acknowledgement marks counting as one) of those shown differ from
    // these; 0 when nothing is known (see Known()).
    int DifferingFrom(const SettingsModel& model, int modeIndex, const std::string& ackMask) const;

    // The backup of the last whole read into the store; its error when it cannot be written or
    // when no read is held (BackupStale()).
    BackupSaveResult SaveBackup(BackupStore& store) const;

  private:
    SettingValues values_;
    std::string ackMask_;
    int mode_ = 0;
    bool uncertain_ = false;
    std::string fileBytes_;  // a settings file of the last whole read
    std::string fileAccountId_;
    std::string firmware_;
    bool backupStale_ = true;
};

}  // namespace quelvar::settings
