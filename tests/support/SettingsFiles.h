#pragma once
// A temporary folder for settings files, and a model's cells in one list for comparing models.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "settings/Catalogue.h"

namespace quelvar::test {

class TempDir {
  public:
    TempDir()
        : path(std::filesystem::temp_directory_path() /
               ("quelvar-test-" + std::to_string(std::random_device{}()) +
                std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path, ec);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }

    const std::filesystem::path path;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every cell of the eight grids, captions, labels and headers included.
inline std::vector<std::string> AllCells(const settings::SettingsModel& model) {
    std::vector<std::string> cells;
    auto add = [&](const settings::StringGrid& grid) {
        for (int row = 0; row < grid.RowCount(); ++row) {
            for (int col = 0; col < grid.ColCount(); ++col) {
                cells.push_back(grid.Cell(col, row));
            }
        }
    };
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        add(model.Grid(table.id));
    }
    add(model.AlarmGrid());
    add(model.InputGrid());
    return cells;
}

}  // namespace quelvar::test
