#include "CraftedSave.h"

#include <chrono>
#include <fstream>
#include <string>

#include "settings/SettingsFile.h"

namespace quelvar::bench {

double CraftedSaveMs(const QString& folder) {
    const std::string path = (folder + "/crafted.am2").toStdString();
    std::string bytes = "[GSM]\r\n";
    // Room left for the settings the save adds: a file over the limit is refused, not saved.
    constexpr std::size_t kRoomForSettings = 64 * 1024;
    for (int i = 0; bytes.size() + kRoomForSettings < settings::kMaxSettingsFileSize; ++i) {
        bytes += "k" + std::to_string(i) + "=v\r\n";
    }
    std::ofstream(path, std::ios::binary) << bytes;
    const settings::SettingsModel model;
    const auto start = std::chrono::steady_clock::now();
    const bool saved = settings::SaveSettingsFile(model, 0, path).ok;
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return saved ? took.count() : -1;
}

}  // namespace quelvar::bench
