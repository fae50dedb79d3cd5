#pragma once
// One settings group bound to a two-column grid: caption in column 0, value in column 1. The table
// keeps each row's edit rules and device key; the value cell is the only store of the value.

#include <functional>
#include <map>
#include <string>

#include "settings/StringGrid.h"

namespace quelvar::settings {

class TTableRule {
  public:
    using RowVisitor = std::function<void(const std::string& caption, const std::string& key)>;

    // Binds the table to the grid (not owned) and sets the width of the grid's column 0.
    TTableRule(StringGrid& grid, int captionColumnWidth);

    // Writes the caption into column 0 of the next free row below the fixed rows and records the
    // rest under it. False, and nothing changed, when the grid has no row left (or no value
    // column) or the caption was already added.
    bool AddRow(const std::string& caption, const std::string& rule, const std::string& key,
                int exactLength, int maxLength, bool upperCase);

    // Writes the value into the caption's value cell. False, and nothing changed, when the
    // caption has no row: it was never added, or its cell in column 0 no longer holds it.
    bool SetValue(const std::string& caption, const std::string& value);
    // The caption's value cell; the empty text when the caption has no row (as for SetValue).
    std::string GetValue(const std::string& caption) const;

    // The attributes recorded for the caption; the empty text, 0, 0, false and the empty text
    // for a caption that was never added.
    std::string GetRule(const std::string& caption) const;
    int GetExactLength(const std::string& caption) const;
    int GetMaxLength(const std::string& caption) const;
    bool GetUpperCase(const std::string& caption) const;
    std::string GetKey(const std::string& caption) const;

    // Visits every added row once as (caption, key), in ascending unsigned byte order of the
    // captions, a caption before any longer one it begins. The device commands and the settings
    // file follow this order.
    void ForEachRow(const RowVisitor& visit) const;

    int RowsAdded() const { return rowsAdded_; }
    StringGrid& Grid() { return grid_; }
    const StringGrid& Grid() const { return grid_; }

  private:
    struct RowRule {
        std::string rule;
        int exactLength = 0;
        int maxLength = 0;
        bool upperCase = false;
        std::string key;
    };

    const RowRule* Find(const std::string& caption) const;
    // Grid row of the caption, or -1.
    int RowOf(const std::string& caption) const;

    StringGrid& grid_;
    int rowsAdded_ = 0;
    // std::less<std::string> compares through char_traits<char>, whose lt is that of unsigned
    // char, and a prefix sorts first: exactly the visiting order the device exchange relies on.
    std::map<std::string, RowRule> rows_;
};

}  // namespace quelvar::settings
