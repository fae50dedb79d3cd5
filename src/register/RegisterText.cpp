#include "register/RegisterText.h"

#include <filesystem>
#include <map>
#include <system_error>

#include "exchange/StatusLog.h"
#include "settings/Cp1250.h"

namespace quelvar::sites {

namespace {

// Lower case for the letters Windows-1250 holds: ASCII, Latin-1 and Latin Extended-A.
char32_t Lower(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        return oddUpper ? ((c % 2 == 1) ? c + 1 : c) : ((c % 2 == 0) ? c + 1 : c);
    }
    return c;
}

std::u32string Folded(std::string_view cp1250) {
    std::u32string text = settings::Cp1250ToCodePoints(cp1250);
    for (char32_t& c : text) {
        c = Lower(c);
    }
    return text;
}

std::string Quoted(const std::optional<std::string>& value) {
    if (!value) {
        return "(none)";
    }
    std::string text = "\"";
    for (const char c : settings::Cp1250ToPrintableUtf8(*value)) {
        if (c == '"' || c == '\\') {
            text += '\\';
        }
        text += c;
    }
    return text + "\"";
}

std::string Cell(std::string_view cp1250) {
    return exchange::CsvField(exchange::CsvText(cp1250));
}

// Paths are the system's text (UTF-8 here), not the device's.
std::string PathCell(const std::string& path) {
    return Cell(settings::Cp1250FromUtf8(path).value_or(path));
}

}  // namespace

std::string ShownTime(Clock::time_point when) {
    return exchange::LocalTimeText(when, "%Y-%m-%d %H:%M");
}

std::string WhoText(const Revision& revision) {
    if (revision.user.empty() || revision.computer.empty()) {
        return revision.user + revision.computer;
    }
    return revision.user + "@" + revision.computer;
}

std::string WhatText(const Revision& revision) {
    if (revision.kind == RevisionKind::kPasswordChange) {
        return "password changed";
    }
    return revision.summary.empty() ? "settings not known" : revision.summary;
}

bool BackupDeleted(const Revision& revision) {
    std::error_code error;
    return !revision.backupPath.empty() &&
           !std::filesystem::exists(std::filesystem::path(revision.backupPath), error);
}

std::string HistoryLine(const Revision& revision) {
    std::string line = ShownTime(revision.when) + "  " + WhoText(revision) + "  " +
                       KindName(revision.kind) + "  " + WhatText(revision) + "  " +
                       revision.outcome;
    if (BackupDeleted(revision)) {
        line += "  (backup file deleted)";
    }
    return line;
}

std::string ChangeLine(const SettingChange& change) {
    std::string place = change.group + ", " + change.row;
    if (!change.column.empty()) {
        place += ", " + change.column;
    }
    return settings::Cp1250ToPrintableUtf8(place) + ": " + Quoted(change.before) + " -> " +
           Quoted(change.after);
}

bool SiteMatches(const Site& site, std::string_view text) {
    if (text.empty()) {
        return true;
    }
    const std::u32string wanted = Folded(text);
    for (const std::string* field :
         {&site.accountId, &site.name, &site.address, &site.phone, &site.notes, &site.firmware}) {
        if (Folded(*field).find(wanted) != std::u32string::npos) {
            return true;
        }
    }
    return false;
}

std::string ExportCsv(SiteRegister& reg) {
    std::string csv =
        "account,customer,address,phone,notes,time,kind,user,computer,program,usb path,"
        "firmware,outcome,changes,what,backup\r\n";
    std::map<std::string, std::vector<Revision>> bySite;
    for (Revision& revision : reg.AllRevisions()) {
        bySite[revision.accountId].push_back(std::move(revision));
    }
    for (const Site& site : reg.Sites()) {
        const std::string customer = Cell(site.accountId) + "," + Cell(site.name) + "," +
                                     Cell(site.address) + "," + Cell(site.phone) + "," +
                                     Cell(site.notes) + ",";
        const auto found = bySite.find(site.accountId);
        if (found == bySite.end()) {
            csv += customer + ",,,,,,,,,,\r\n";
            continue;
        }
        for (const Revision& r : found->second) {
            csv += customer + exchange::IsoTime(r.when) + "," + Cell(KindName(r.kind)) + "," +
                   Cell(r.user) + "," + Cell(r.computer) + "," + Cell(r.program) + "," +
                   Cell(r.usbPath) + "," + Cell(r.firmware) + "," + Cell(r.outcome) + "," +
                   std::to_string(r.changeCount) + "," + Cell(WhatText(r)) + "," +
                   PathCell(r.backupPath) + "\r\n";
        }
    }
    return csv;
}

}  // namespace quelvar::sites
