#include "settings/Catalogue.h"

#include <string>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {

namespace {

// Captions are Windows-1250 bytes, each with its readable text. A literal is split where a hex
// digit follows an escape, which would otherwise run on into it.
// clang-format off
constexpr std::string_view kPinCaption         = "PIN k\xF3" "d";                 // PIN kód
constexpr std::string_view kSensitivityCaption = "\xC9rz\xE9kenys\xE9g";          // Érzékenység
constexpr std::string_view kContactTypeCaption = "T\xEDpus NO/NC";                // Típus NO/NC
constexpr std::string_view kAccountCaption     = "\xDCgyf\xE9lk\xF3" "d:";        // Ügyfélkód:
// CID vevő telefonszáma:
constexpr std::string_view kReceiverCaption    = "CID vev\xF5 telefonsz\xE1ma:";
constexpr std::string_view kZ1EventCodeCaption = "Z1 esem\xE9nyk\xF3" "d:";       // Z1 eseménykód:
constexpr std::string_view kZ2EventCodeCaption = "Z2 esem\xE9nyk\xF3" "d:";       // Z2 eseménykód:
// clang-format on

constexpr CatalogueRow kSimCardRows[] = {
    {kPinCaption, "SIMPIN", kDigitRule, 4, 4},
};

constexpr CatalogueRow kPhoneNumberRows[] = {
    {"T1", "UPHN1", kPhoneRule, 0, 19},
    {"T2", "UPHN2", kPhoneRule, 0, 19},
    {"T3", "UPHN3", kPhoneRule, 0, 19},
    {"T4", "UPHN4", kPhoneRule, 0, 19},
};

constexpr CatalogueRow kSmsForwardingRows[] = {
    {"Tulaj(T1)", "SFWN", kPhoneRule, 0, 19},
};

constexpr CatalogueRow kZ1Rows[] = {
    {kSensitivityCaption, "IN1S", kSensitivityOptions, 0, 15},
    {kContactTypeCaption, "IN1T", kContactTypeOptions, 0, 5},
};

constexpr CatalogueRow kZ2Rows[] = {
    {kSensitivityCaption, "IN2S", kSensitivityOptions, 0, 15},
    {kContactTypeCaption, "IN2T", kContactTypeOptions, 0, 5},
};

constexpr CatalogueRow kMonitoringRows[] = {
    {kAccountCaption, "ACCID", kHexRule, 4, 4},
    {kReceiverCaption, "MS1", kPhoneRule, 0, 19},
    {kZ1EventCodeCaption, "Z1CID", kDigitRule, 3, 3},
    {kZ2EventCodeCaption, "Z2CID", kDigitRule, 3, 3},
};

constexpr std::array<CatalogueTable, kTableCount> kTables = {{
    {TableId::kSimCard, "SIM card", "sgGPRSConnection", "GroupBox2", 2, 1, 0, 60, 125,
     kSimCardRows},
    {TableId::kPhoneNumbers, "Phone numbers", "sgPhnrs", "gbPhnrs1", 3, 5, 1, 25, 97,
     kPhoneNumberRows},
    {TableId::kSmsForwarding, "SIM info SMS forwarding", "sgSMSFW", "GroupBox3", 2, 1, 0, 60, 125,
     kSmsForwardingRows},
    {TableId::kZ1Settings, "Z1 settings", "sgIN1", "gbIN1", 2, 2, 0, 80, 125, kZ1Rows},
    {TableId::kZ2Settings, "Z2 settings", "sgIN2", "GroupBox7", 2, 2, 0, 80, 125, kZ2Rows},
    {TableId::kMonitoring, "Monitoring parameters", "sgeInEvSetCID", "gbMonParams", 2, 4, 0, 160,
     160, kMonitoringRows},
}};

constexpr std::string_view kSmsHeader = "SMS \xFCzenet";  // SMS üzenet

constexpr GridColumn kAlarmColumns[kAlarmGridColumns] = {
    {" ", 30},  {"Code", 35}, {"E/R", 26}, {"Part", 30}, {"Zone/User", 65},
    {"T1", 20}, {"T2", 20},   {"T3", 20},  {"T4", 20},   {kSmsHeader, 160},
    {"T1", 20}, {"T2", 20},   {"T3", 20},  {"T4", 20},
};

constexpr GridColumn kInputColumns[kInputGridColumns] = {
    {"Riaszt\xE1si h\xEDv\xE1s", 100},  // Riasztási hívás
    {"T1", 20},
    {"T2", 20},
    {"T3", 20},
    {"T4", 20},
    {kSmsHeader, 268},
    {"T1", 20},
    {"T2", 20},
    {"T3", 20},
    {"T4", 20},
};

constexpr std::string_view kInputRowLabels[kInputGridRows - 1] = {
    "Z1 Riaszt\xE1s",        // Z1 Riasztás
    "Z1 Vissza\xE1ll\xE1s",  // Z1 Visszaállás
    "Z2 Riaszt\xE1s",        // Z2 Riasztás
    "Z2 Vissza\xE1ll\xE1s",  // Z2 Visszaállás
};

constexpr bool TablesInIdOrder() {
    for (std::size_t i = 0; i < kTables.size(); ++i) {
        if (static_cast<std::size_t>(kTables[i].id) != i ||
            kTables[i].gridRows - kTables[i].fixedRows !=
                static_cast<int>(kTables[i].rows.size())) {
            return false;
        }
    }
    return true;
}
static_assert(TablesInIdOrder(), "each table at its id, its grid holding exactly its rows");

void WriteHeaders(StringGrid& grid, std::span<const GridColumn> columns) {
    for (std::size_t col = 0; col < columns.size(); ++col) {
        grid.SetCell(static_cast<int>(col), 0, std::string(columns[col].header));
    }
}

void SetWidths(StringGrid& grid, std::span<const GridColumn> columns) {
    for (std::size_t col = 0; col < columns.size(); ++col) {
        grid.SetColWidth(static_cast<int>(col), columns[col].width);
    }
}

}  // namespace

std::string_view GroupCaption(TableId id) {
    // clang-format off
    switch (id) {
        case TableId::kSimCard:       return "SIM k\xE1rtya";                              // SIM kártya
        case TableId::kSmsForwarding: return "SIM info SMS tov\xE1" "bb\xEDt\xE1sa";        // SIM info SMS továbbítása
        case TableId::kZ1Settings:    return "Z1 be\xE1ll\xEDt\xE1sa";                      // Z1 beállítása
        case TableId::kZ2Settings:    return "Z2 be\xE1ll\xEDt\xE1sa";                      // Z2 beállítása
        case TableId::kPhoneNumbers:  return "\xC9rtes\xEDt\xE9si lista";                   // Értesítési lista
        case TableId::kMonitoring:    return "T\xE1vfel\xFCgyeleti be\xE1ll\xEDt\xE1sok";  // Távfelügyeleti beállítások
    }
    // clang-format on
    return {};
}

std::span<const CatalogueTable, kTableCount> AllTables() {
    return kTables;
}

const CatalogueTable& TableOf(TableId id) {
    return kTables[static_cast<std::size_t>(id)];
}

std::span<const GridColumn> AlarmGridColumns() {
    return kAlarmColumns;
}
std::span<const GridColumn> InputGridColumns() {
    return kInputColumns;
}
std::span<const std::string_view> InputGridRowLabels() {
    return kInputRowLabels;
}

std::unique_ptr<StringGrid> MakeTableGrid(TableId id) {
    const CatalogueTable& table = TableOf(id);
    auto grid = std::make_unique<StringGrid>(table.gridColumns, table.gridRows, 1, table.fixedRows);
    grid->SetColWidth(1, table.valueWidth);
    return grid;
}

std::unique_ptr<TTableRule> SetUpTable(TableId id, StringGrid& grid) {
    const CatalogueTable& entry = TableOf(id);
    auto table = std::make_unique<TTableRule>(grid, entry.captionWidth);
    for (const CatalogueRow& row : entry.rows) {
        // No row of the catalogue asks for upper case.
        table->AddRow(std::string(row.caption), std::string(row.rule), std::string(row.key),
                      row.exactLength, row.maxLength, false);
    }
    if (id == TableId::kPhoneNumbers) {
        grid.SetColWidth(kAckColumn, kAckColumnWidth);
        grid.SetCell(1, 0, std::string(kPhoneNumberHeader));
        grid.SetCell(kAckColumn, 0, std::string(kAckHeader));
    }
    return table;
}

std::unique_ptr<StringGrid> MakeAlarmGrid() {
    auto grid = std::make_unique<StringGrid>(kAlarmGridColumns, kAlarmGridRows, 1, 1);
    SetUpAlarmGrid(*grid);
    return grid;
}

void SetUpAlarmGrid(StringGrid& grid) {
    WriteHeaders(grid, kAlarmColumns);
    SetWidths(grid, kAlarmColumns);
    for (int row = 1; row < kAlarmGridRows; ++row) {
        grid.SetCell(0, row, std::to_string(row));
    }
}

std::unique_ptr<StringGrid> MakeInputGrid() {
    auto grid = std::make_unique<StringGrid>(kInputGridColumns, kInputGridRows, 1, 1);
    SetUpInputGrid(*grid);
    return grid;
}

void SetUpInputGrid(StringGrid& grid) {
    WriteHeaders(grid, kInputColumns);
    for (std::size_t i = 0; i < std::size(kInputRowLabels); ++i) {
        grid.SetCell(0, static_cast<int>(i) + 1, std::string(kInputRowLabels[i]));
    }
    SetWidths(grid, kInputColumns);
}

SettingsModel::SettingsModel(Setup setup) {
    for (const CatalogueTable& table : kTables) {
        grids_[Index(table.id)] = MakeTableGrid(table.id);
    }
    alarmGrid_ = std::make_unique<StringGrid>(kAlarmGridColumns, kAlarmGridRows, 1, 1);
    inputGrid_ = std::make_unique<StringGrid>(kInputGridColumns, kInputGridRows, 1, 1);
    if (setup == Setup::kNow) {
        SetUp();
    }
}

void SettingsModel::SetUp() {
    if (IsSetUp()) {
        return;
    }
    // In the window's order: the six tables, then the alarm and the input event grid.
    for (const CatalogueTable& table : kTables) {
        const std::size_t i = Index(table.id);
        tables_[i] = SetUpTable(table.id, *grids_[i]);
    }
    SetUpAlarmGrid(*alarmGrid_);
    SetUpInputGrid(*inputGrid_);
}

std::string ShowAckMask(SettingsModel& model, std::string mask) {
    constexpr std::size_t kNumbers = 4;
    if (mask.size() != kNumbers) {
        mask = "0000";
    }
    StringGrid& phones = model.Grid(TableId::kPhoneNumbers);
    for (std::size_t i = 0; i < kNumbers; ++i) {
        phones.SetCell(kAckColumn, static_cast<int>(i) + 1, mask[i] == '1' ? "X" : "");
    }
    return mask;
}

}  // namespace quelvar::settings
