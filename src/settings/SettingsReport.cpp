#include "settings/SettingsReport.h"

#include <string_view>

#include "settings/AlarmTableImage.h"
#include "settings/Cp1250.h"
#include "settings/InputTableImage.h"

namespace quelvar::settings {

namespace {

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
    html += "<h2>" + Html(GroupCaption(id)) + "</h2>\n<table class=\"group\">\n";
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

constexpr const char* kMarkWidth = "4%";
constexpr const char* kSmsWidth = "36%";

void EventTable(std::string& html, const StringGrid& grid, std::string_view caption, int firstCall,
                int firstSms, int smsColumn) {
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
    // The two blocks of marks share their headings, so each says what it is. The heading row
    // repeats on every printed page the table runs onto. The marks take the room they need,
    // the SMS text the rest, so that its words stay whole.
    html += "<table class=\"events\" width=\"100%\">\n<thead><tr>";
    for (int col = 0; col < grid.ColCount(); ++col) {
        std::string header = Html(grid.Cell(col, 0));
        std::string width;
        if (InMarkBlock(col, firstCall)) {
            header += "<br><small>call</small>";
            width = kMarkWidth;
        } else if (InMarkBlock(col, firstSms)) {
            header += "<br><small>SMS</small>";
            width = kMarkWidth;
        } else if (col == smsColumn) {
            width = kSmsWidth;
        }
        html += (width.empty() ? "<th>" : "<th width=\"" + width + "\">") + header + "</th>";
    }
    html += "</tr></thead>\n<tbody>\n" + rows + "</tbody></table>\n";
}

// Room to sign above each line, and the date beside each signature.
void Signature(std::string& html, std::string_view who) {
    html +=
        "<p class=\"room\">&nbsp;<br>&nbsp;<br>&nbsp;</p>\n"
        "<table class=\"signature\" width=\"100%\"><tr><td width=\"60%\"><hr>" +
        std::string(who) +
        "</td><td width=\"5%\"></td><td width=\"35%\"><hr>Date</td></tr></table>\n";
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
        ".signature td { border: none; padding: 0; }\n"
        ".signature hr { border: none; border-top: 1px solid #000; }\n"
        "</style>\n</head>\n<body>\n<h1>Settings report</h1>\n<table class=\"group\">\n";
    Row(html, "Date", Html(facts.date));
    if (facts.firmware) {
        Row(html, "Firmware version", Html(*facts.firmware));
    }
    Row(html, Html(kModeGroupCaption), Html(kModeCaptions[facts.modeIndex == 0 ? 0 : 1]));
    html += "</table>\n";
    // In the window's order, left column first.
    for (const TableId id : {TableId::kSimCard, TableId::kSmsForwarding, TableId::kZ1Settings,
                             TableId::kZ2Settings, TableId::kPhoneNumbers, TableId::kMonitoring}) {
        Table(html, model, id, facts.ackMask);
    }
    if (!facts.ackMask) {
        html +=
            "<p><small>The acknowledgement marks (ACK) are kept on the device only.</small></p>\n";
    }
    EventTable(html, model.AlarmGrid(), kAlarmGridCaption, kAlarmFirstCallColumn,
               kAlarmFirstSmsColumn, kAlarmSmsColumn);
    EventTable(html, model.InputGrid(), kInputGridCaption, kInputFirstCallColumn,
               kInputFirstSmsColumn, kInputSmsColumn);
    Signature(html, "Installer's signature");
    Signature(html, "Customer's signature");
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace quelvar::settings
