#pragma once
// The settings catalogue: the six parameter tables with their grids and rows, the rule texts,
// and the layout of the two event grids. Texts are Windows-1250 bytes, as the device holds them.

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

#include "settings/StringGrid.h"
#include "settings/TableRule.h"

namespace quelvar::settings {

// Value rules. One line: the characters that may be typed. Several LF-separated lines: the
// values to choose from.
inline constexpr std::string_view kDigitRule = "01234567890";  // the doubled 0 is harmless
inline constexpr std::string_view kPhoneRule = "+01234567890";
inline constexpr std::string_view kHexRule = "0123456789ABCDEFabcdef";
inline constexpr std::string_view kSensitivityOptions =
    "0.1 sec\n0.5 sec\n1 sec\n2 sec\n5 sec\n1 min\n2 min\n10 min";
inline constexpr std::string_view kContactTypeOptions = "NO\nNC";

// What the event grids' editors allow: Code, Part and Zone/User take an asterisk or digits, an
// SMS text up to kSmsMaxLength characters; each grid has two blocks of kMarkColumns marks
// (T1..T4), calls first, then SMS.
inline constexpr std::string_view kEventCodeRule = "*0123456789";
inline constexpr int kSmsMaxLength = 158;
inline constexpr int kMarkColumns = 4;
// Whether the column is one of the block of marks that begins at `firstColumn`.
constexpr bool InMarkBlock(int col, int firstColumn) {
    return col >= firstColumn && col < firstColumn + kMarkColumns;
}

// The tables in the order the window creates them.
enum class TableId {
    kSimCard,
    kPhoneNumbers,
    kSmsForwarding,
    kZ1Settings,
    kZ2Settings,
    kMonitoring
};
inline constexpr std::size_t kTableCount = 6;

struct CatalogueRow {
    std::string_view caption;
    std::string_view key;
    std::string_view rule;
    int exactLength;  // 0: no check
    int maxLength;
};

struct CatalogueTable {
    TableId id;
    std::string_view name;
    std::string_view gridName;
    std::string_view groupBoxName;
    int gridColumns;
    int gridRows;
    int fixedRows;  // column 0 is always fixed
    int captionWidth;
    int valueWidth;
    std::span<const CatalogueRow> rows;  // in the order they are added, which is grid order
};

struct GridColumn {
    std::string_view header;
    int width;
};

// The phone-number grid has a header row and a third, acknowledgement column of its own.
inline constexpr std::string_view kPhoneNumberHeader = "Telefonsz\xE1m";  // Telefonszám
inline constexpr std::string_view kAckHeader = "ACK";
inline constexpr int kAckColumn = 2;
inline constexpr int kAckColumnWidth = 25;

// The order in which the log-in reads the tables, and the order of the write-back.
inline constexpr TableId kLogInReadOrder[] = {TableId::kSimCard,      TableId::kZ1Settings,
                                              TableId::kZ2Settings,   TableId::kMonitoring,
                                              TableId::kPhoneNumbers, TableId::kSmsForwarding};
inline constexpr TableId kWriteBackOrder[] = {TableId::kSimCard,       TableId::kPhoneNumbers,
                                              TableId::kSmsForwarding, TableId::kZ1Settings,
                                              TableId::kZ2Settings,    TableId::kMonitoring};

// Captions of the window's groups, Windows-1250 bytes: what the window titles them, and what
// the settings report prints. Empty for a value that names no table.
std::string_view GroupCaption(TableId id);
// clang-format off
inline constexpr std::string_view kModeGroupCaption = "M\xFBk\xF6" "d\xE9si m\xF3" "dok";  // Működési módok
inline constexpr std::array<std::string_view, 2> kModeCaptions = {
    "\xD6n\xE1ll\xF3",                                                        // Önálló
    "Vonalp\xF3tl\xF3",                                                       // Vonalpótló
};
// Contact ID jelzésekhez hozzárendelt riasztási hívások és SMS üzenetek
inline constexpr std::string_view kAlarmGridCaption =
    "Contact ID jelz\xE9sekhez hozz\xE1rendelt riaszt\xE1si h\xEDv\xE1sok \xE9s SMS \xFCzenetek";
// Bemeneti események átjelzése az értesítési listában szereplő telefonszámokra
inline constexpr std::string_view kInputGridCaption =
    "Bemeneti esem\xE9nyek \xE1tjelz\xE9se az \xE9rtes\xEDt\xE9si list\xE1" "ban szerepl\xF5 "
    "telefonsz\xE1mokra";
// clang-format on

std::span<const CatalogueTable, kTableCount> AllTables();
const CatalogueTable& TableOf(TableId id);

// Headers and widths of the event grids, column 0 first, and the row labels of the input grid
// (the alarm grid's rows are labelled with their numbers).
std::span<const GridColumn> AlarmGridColumns();
std::span<const GridColumn> InputGridColumns();
std::span<const std::string_view> InputGridRowLabels();

// The table's grid as designed: sized, column 0 fixed, the value column at its width, cells
// empty. Never fails.
std::unique_ptr<StringGrid> MakeTableGrid(TableId id);
// Binds a table to the grid and adds every row; for the phone numbers also writes the header row
// and sets the acknowledgement column's width. Rows for which the grid has no room are left out.
std::unique_ptr<TTableRule> SetUpTable(TableId id, StringGrid& grid);

// The event grids with headers, row labels and widths, data cells empty; neither fails.
std::unique_ptr<StringGrid> MakeAlarmGrid();
std::unique_ptr<StringGrid> MakeInputGrid();
// Headers, column widths and row labels of grids of the event grids' size; a smaller grid gets
// what fits.
void SetUpAlarmGrid(StringGrid& grid);
void SetUpInputGrid(StringGrid& grid);

// Everything the window builds when it is first shown: the six grids with their tables and the
// two event grids. Moving the model keeps every grid where it is.
class SettingsModel;

// The acknowledgement marks as the device's "GACK" gives them: four "0"/"1", one per number
// T1..T4; any other length counts as "0000". Returns the mask as kept and marks the "ACK"
// column of the phone numbers with "X" for each "1", the others empty. Never fails.
std::string ShowAckMask(SettingsModel& model, std::string mask);

class SettingsModel {
  public:
    // kLater gives the bare grids of the window's design; SetUp then adds the tables, the
    // captions and the event grids' headings, as the window does when first shown.
    enum class Setup { kNow, kLater };
    explicit SettingsModel(Setup setup = Setup::kNow);
    // Creates the six tables and writes the event grids' headings; a second call does nothing.
    void SetUp();
    bool IsSetUp() const { return tables_[0] != nullptr; }

    // Rule only once set up: before, there is no table to give.
    StringGrid& Grid(TableId id) { return *grids_[Index(id)]; }
    TTableRule& Rule(TableId id) { return *tables_[Index(id)]; }
    StringGrid& AlarmGrid() { return *alarmGrid_; }
    StringGrid& InputGrid() { return *inputGrid_; }
    const StringGrid& Grid(TableId id) const { return *grids_[Index(id)]; }
    const TTableRule& Rule(TableId id) const { return *tables_[Index(id)]; }
    const StringGrid& AlarmGrid() const { return *alarmGrid_; }
    const StringGrid& InputGrid() const { return *inputGrid_; }

  private:
    static std::size_t Index(TableId id) { return static_cast<std::size_t>(id); }

    std::array<std::unique_ptr<StringGrid>, kTableCount> grids_;
    std::array<std::unique_ptr<TTableRule>, kTableCount> tables_;
    std::unique_ptr<StringGrid> alarmGrid_;
    std::unique_ptr<StringGrid> inputGrid_;
};

}  // namespace quelvar::settings
