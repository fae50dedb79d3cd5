#include "settings/SettingsReport.h"

#include <map>
#include <optional>
#include <string_view>

#include "settings/AlarmTableImage.h"
#include "settings/ContactId.h"
#include "settings/Cp1250.h"
#include "settings/InputTableImage.h"
#include "settings/SettingsFile.h"
#include "settings/SmsText.h"

namespace quelvar::settings {

namespace {

// Text for HTML, from UTF-8 whose control characters are already escaped.
std::string HtmlOfUtf8(std::string_view utf8) {
    std::string text;
    for (const char c : utf8) {
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

// Text for HTML, from Windows-1250.
std::string Html(std::string_view cp1250) {
    return HtmlOfUtf8(Cp1250ToPrintableUtf8(cp1250));
}

// A value as the file holds it where the code page cannot, else as the model holds it.
std::string ValueHtml(const ReportFacts& facts, const std::string& key, std::string_view value) {
    const std::optional<std::string> original =
        facts.originalValue && !key.empty() ? facts.originalValue(key) : std::nullopt;
    if (!original) {
        // An empty last cell of a table would take the space above the next heading away in
        // the window's and the printer's renderer.
        return value.empty() ? std::string("&nbsp;") : Html(value);
    }
    std::string shown;
    for (const char c : *original) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            shown += Cp1250ToPrintableUtf8(std::string_view(&c, 1));
        } else {
            shown += c;
        }
    }
    return HtmlOfUtf8(shown) + " <small>(not sendable: Windows-1250 cannot hold it)</small>";
}

constexpr std::string_view kPinKey = "SIMPIN";

void Row(std::string& html, const std::string& caption, const std::string& value) {
    html += "<tr><th>" + caption + "</th><td>" + value + "</td></tr>\n";
}

void Table(std::string& html, const SettingsModel& model, TableId id, const ReportFacts& facts) {
    const std::optional<std::string>& ackMask = facts.ackMask;
    const TTableRule& table = model.Rule(id);
    const StringGrid& grid = model.Grid(id);
    std::map<std::string, std::string> keys;
    table.ForEachRow(
        [&](const std::string& caption, const std::string& key) { keys[caption] = key; });
    html += "<h2>" + Html(GroupCaption(id)) + "</h2>\n<table class=\"group\">\n";
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        const std::string caption = grid.Cell(0, row);
        std::string value = keys[caption] == kPinKey && !facts.withPin
                                ? std::string("<small>(not printed)</small>")
                                : ValueHtml(facts, keys[caption], table.GetValue(caption));
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

using CellKey = std::string (*)(const StringGrid& grid, int col, int row);

// Where a table's columns lie and how its cells are named in a settings file.
struct EventColumns {
    int firstCall;
    int firstSms;
    int sms;
    CellKey keyOf;
    int code;  // the Contact ID code's column; -1 for none
};

// A code's name under it, an SMS text's characters outside the GSM alphabet after it.
std::string CellNote(const EventColumns& columns, int col, const std::string& value) {
    if (value.empty()) {
        return {};
    }
    if (col == columns.code) {
        const std::string note = ContactIdNote(value);
        return note.empty() ? note : "<br><small>" + Html(note) + "</small>";
    }
    if (col == columns.sms) {
        const std::string note = SmsOutsideNote(value);
        return note.empty() ? note : " <small>(" + HtmlOfUtf8(note) + ")</small>";
    }
    return {};
}

void EventTable(std::string& html, const StringGrid& grid, std::string_view caption,
                const EventColumns& columns, const ReportFacts& facts) {
    const int firstCall = columns.firstCall;
    const int firstSms = columns.firstSms;
    const int smsColumn = columns.sms;
    const CellKey keyOf = columns.keyOf;
    html += "<h2>" + Html(caption) + "</h2>\n";
    std::string rows;
    for (int row = grid.FixedRows(); row < grid.RowCount(); ++row) {
        if (!HoldsAnything(grid, row)) {
            continue;
        }
        rows += "<tr>";
        for (int col = 0; col < grid.ColCount(); ++col) {
            rows += col == 0
                        ? "<th>" + Html(grid.Cell(col, row)) + "</th>"
                        : "<td>" + ValueHtml(facts, keyOf(grid, col, row), grid.Cell(col, row)) +
                              CellNote(columns, col, grid.Cell(col, row)) + "</td>";
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
        // In pixels and single values: the window's and the printer's renderer take no other,
        // and without them every heading but those after a note sat on the table above it.
        "table { border-collapse: collapse; }\n"
        "h2 { margin-top: 16px; margin-bottom: 4px; }\n"
        "th, td { border: 1px solid #888; padding: 4px; text-align: left; }\n"
        "table.group th { font-weight: normal; width: 14em; }\n"
        // The narrow mark columns keep their headings on one line.
        "table.events th, table.events td { padding: 0px; padding-top: 2px; padding-bottom: 2px; "
        "}\n"
        ".signature td { border: none; padding: 0; }\n"
        ".signature hr { border: none; border-top: 1px solid #000; }\n"
        "</style>\n</head>\n<body>\n<h1>Settings report</h1>\n<table class=\"group\">\n";
    if (facts.customerName) {
        Row(html, "Customer", Html(*facts.customerName));
    }
    if (facts.customerAddress) {
        Row(html, "Address", Html(*facts.customerAddress));
    }
    Row(html, "Date", Html(facts.date));
    if (facts.firmware) {
        Row(html, "Firmware version", Html(*facts.firmware));
    }
    Row(html, Html(kModeGroupCaption), Html(kModeCaptions[facts.modeIndex == 0 ? 0 : 1]));
    html += "</table>\n";
    // In the window's order, left column first.
    for (const TableId id : {TableId::kSimCard, TableId::kSmsForwarding, TableId::kZ1Settings,
                             TableId::kZ2Settings, TableId::kPhoneNumbers, TableId::kMonitoring}) {
        Table(html, model, id, facts);
    }
    if (!facts.ackMask) {
        html +=
            "<p><small>The acknowledgement marks (ACK) are kept on the device only.</small></p>\n";
    }
    EventTable(html, model.AlarmGrid(), kAlarmGridCaption,
               {kAlarmFirstCallColumn, kAlarmFirstSmsColumn, kAlarmSmsColumn, AlarmCellKey,
                kAlarmCodeColumn},
               facts);
    EventTable(html, model.InputGrid(), kInputGridCaption,
               {kInputFirstCallColumn, kInputFirstSmsColumn, kInputSmsColumn, InputCellKey, -1},
               facts);
    if (!facts.findings.empty()) {
        html += "<h2>Findings of the file</h2>\n<ul class=\"findings\">\n";
        for (const std::string& finding : facts.findings) {
            html += "<li>" + HtmlOfUtf8(finding) + "</li>\n";
        }
        html += "</ul>\n";
    }
    Signature(html, "Installer's signature");
    Signature(html, "Customer's signature");
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace quelvar::settings
