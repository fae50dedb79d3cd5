#include "settings/HeldSettings.h"

#include "settings/SettingsFile.h"

namespace quelvar::settings {

void HeldSettings::Remember(const SettingsModel& model, int modeIndex, const std::string& ackMask) {
    Remember(ValuesOf(model, modeIndex), modeIndex, ackMask);
}

void HeldSettings::Remember(const SettingValues& values, int modeIndex,
                            const std::string& ackMask) {
    values_ = values;
    mode_ = modeIndex;
    ackMask_ = ackMask;
    uncertain_ = false;
}

void HeldSettings::NoteDeviceRead(const SettingsModel& held, int modeIndex, bool complete) {
    const std::optional<std::string> bytes = BuildSettingsFile("", held, modeIndex);
    if (!complete || !bytes) {
        backupStale_ = true;
        return;
    }
    fileBytes_ = *bytes;
    fileAccountId_ = AccountIdOf(held);
    backupStale_ = false;
}

void HeldSettings::Overwriting() {
    backupStale_ = true;
    uncertain_ = true;
}

std::string HeldSettings::AccountId() const {
    const std::optional<std::size_t> account = SettingIndex(kAccountKey);
    if (account && *account < values_.size() && !uncertain_) {
        return values_[*account].value_or("");
    }
    return fileAccountId_;
}

int HeldSettings::DifferingFrom(const SettingsModel& model, int modeIndex,
                                const std::string& ackMask) const {
    if (!Known()) {
        return 0;
    }
    const auto differences = CompareSettings(ValuesOf(model, modeIndex), values_);
    return static_cast<int>(differences.size()) + (ackMask != ackMask_ ? 1 : 0);
}

BackupSaveResult HeldSettings::SaveBackup(BackupStore& store) const {
    if (backupStale_) {
        return {{}, kBackupReadIncomplete};
    }
    return store.Save(fileBytes_, fileAccountId_, firmware_);
}

}  // namespace quelvar::settings
