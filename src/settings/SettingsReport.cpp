#include "settings/SettingsReport.h"

#include <array>
#include <string_view>

#include "settings/AlarmTableImage.h"
#include "settings/Cp1250.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {

namespace {

// The window's captions of the groups, Windows-1250 bytes with their readable text.
struct GroupCaption {
    TableId id;
    std::string_view caption;
};
// clang-format off
constexpr std::array<GroupCaption, kTableCount> kGroupCaptions = {{
    {TableId::kSimCard, "SIM k\xE1rtya"},                                  // SIM kártya
    {TableId::kSmsForwarding, "SIM info SMS tov\xE1" "bb\xEDt\xE1sa"},     // SIM info SMS továbbítása
    {TableId::kZ1Settings, "Z1 be\xE1ll\xEDt\xE1sa"},                      // Z1 beállítása
    {TableId::kZ2Settings, "Z2 be\xE1ll\xEDt\xE1sa"},                      // Z2 beállítása
    {TableId::kPhoneNumbers, "\xC9rtes\xEDt\xE9si lista"},                 // Értesítési lista
    {TableId::kMonitoring, "T\xE1vfel\xFCgyeleti be\xE1ll\xEDt\xE1sok"},   // Távfelügyeleti beállítások
}};
constexpr std::string_view kModeCaption = "M\xFBk\xF6" "d\xE9si m\xF3" "dok";     // Működési módok
constexpr std::array<std::string_view, 2> kModeNames = {
    "\xD6n\xE1ll\xF3",                                                     // Önálló
    "Vonalp\xF3tl\xF3",                                                    // Vonalpótló
};
// Contact ID jelzésekhez hozzárendelt riasztási hívások és SMS üzenetek
constexpr std::string_view kAlarmCaption =
    "Contact ID jelz\xE9sekhez hozz\xE1rendelt riaszt\xE1si h\xEDv\xE1sok \xE9s SMS \xFCzenetek";
// Bemeneti események átjelzése az értesítési listában szereplő telefonszámokra
constexpr std::string_view kInputCaption =
    "Bemeneti esem\xE9nyek \xE1tjelz\xE9se az \xE9rtes\xEDt\xE9si list\xE1" "ban szerepl\xF5 "
    "telefonsz\xE1mokra";
// clang-format on

// Text for HTML, from Windows-1250.
std::string Html(std::string_view cp1250) {
    std::string text;
    for (const char c : Cp1250ToPrintableUtf8(cp1250)) {
        switch (c) {
            case '&':
                text += "&amp;";
                break;
            case '<':
                text += "&lt;";
                break;
            case '>':
                text += "&gt;";
                break;
            case '"':
                text += "&quot;";
                break;
            default:
                text += c;
        }
    }
    return text;
}

void Row(std::string& html, const std::string& caption, const std::string& value) {
    html += "<tr><th>" + caption + "</th><td>" + value + "</td></tr>\n";
}

void Table(std::string& html, const SettingsModel& model, TableId id,
           const std::optional<std::string>& ackMask) {
    const TTableRule& table = model.Rule(id);
    const StringGrid& grid = model.Grid(id);
    for (const GroupCaption& group : kGroupCaptions) {
        if (group.id == id) {
            html += "<h2>" + Html(group.caption) + "</h2>\n<table class=\"group\">\n";
        }
    }
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        const std::string caption = grid.Cell(0, row);
        std::string value = Html(table.GetValue(caption));
        if (id == TableId::kPhoneNumbers && ackMask && ackMask->size() == 4) {
            const bool marked = (*ackMask)[static_cast<std::size_t>(row - 1)] == '1';
            value += marked ? " &nbsp;(ACK)" : "";
        }
        Row(html, Html(caption), value);
    }
    html += "</table>\n";
}

bool HoldsAnything(const StringGrid& grid, int row) {
    for (int col = grid.FixedCols(); col < grid.ColCount(); ++col) {
        if (!grid.Cell(col, row).empty()) {
            return true;
        }
    }
    return false;
}

void EventTable(std::string& html, const StringGrid& grid, std::string_view caption, int firstCall,
                int firstSms) {
    html += "<h2>" + Html(caption) + "</h2>\n";
    std::string rows;
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        if (!HoldsAnything(grid, row)) {
            continue;
        }
        rows += "<tr>";
        for (int col = 0; col < grid.ColCount(); ++col) {
            rows += (col == 0 ? "<th>" : "<td>") + Html(grid.Cell(col, row)) +
                    (col == 0 ? "</th>" : "</td>");
        }
        rows += "</tr>\n";
    }
    if (rows.empty()) {
        html += "<p>(empty)</p>\n";
        return;
    }
    // The two blocks of marks share their headings, so each says what it is.
    html += "<table class=\"events\">\n<tr>";
    for (int col = 0; col < grid.ColCount(); ++col) {
        std::string header = Html(grid.Cell(col, 0));
        if (col >= firstCall && col < firstCall + 4) {
            header += "<br><small>call</small>";
        } else if (col >= firstSms && col < firstSms + 4) {
            header += "<br><small>SMS</small>";
        }
        html += "<th>" + header + "</th>";
    }
    html += "</tr>\n" + rows + "</table>\n";
}

}  // namespace

std::string BuildSettingsReport(const SettingsModel& model, const ReportFacts& facts) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"hu\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Settings report</title>\n<style>\n"
        "body { font-family: sans-serif; font-size: 10pt; }\n"
        "table { border-collapse: collapse; margin-bottom: 8pt; }\n"
        "th, td { border: 1px solid #888; padding: 2pt 5pt; text-align: left; }\n"
        "table.group th { font-weight: normal; width: 14em; }\n"
        ".signature { margin-top: 36pt; width: 100%; }\n"
        ".signature td { border: none; border-top: 1px solid #000; width: 45%; }\n"
        ".signature td.gap { border-top: none; width: 10%; }\n"
        "</style>\n</head>\n<body>\n<h1>Settings report</h1>\n<table class=\"group\">\n";
    Row(html, "Date", Html(facts.date));
    if (facts.firmware) {
        Row(html, "Firmware version", Html(*facts.firmware));
    }
    Row(html, Html(kModeCaption), Html(kModeNames[facts.modeIndex == 0 ? 0 : 1]));
    html += "</table>\n";
    for (const GroupCaption& group : kGroupCaptions) {
        Table(html, model, group.id, facts.ackMask);
    }
    if (!facts.ackMask) {
        html +=
            "<p><small>The acknowledgement marks (ACK) are kept on the device only.</small></p>\n";
    }
    EventTable(html, model.AlarmGrid(), kAlarmCaption, kAlarmFirstCallColumn, kAlarmFirstSmsColumn);
    EventTable(html, model.InputGrid(), kInputCaption, kInputFirstCallColumn, kInputFirstSmsColumn);
    html +=
        "<table class=\"signature\"><tr><td>Installer's signature</td><td class=\"gap\"></td>"
        "<td>Customer's signature</td></tr></table>\n</body>\n</html>\n";
    return html;
}

}  // namespace quelvar::settings
