#pragma once
// The register in words, the same in the window and on the command line: a revision's line of a
// site's history, a change's line, the search over sites, and the export.

#include <string>
#include <string_view>

#include "register/SiteRegister.h"

namespace quelvar::sites {

// "2026-12-10 10:06", local time.
std::string ShownTime(Clock::time_point when);
// "alice@workshop-pc"; either alone when the other is not known.
std::string WhoText(const Revision& revision);
// What the revision did in words: its summary, or for a password change "password changed";
// Windows-1250.
std::string WhatText(const Revision& revision);
// Whether the revision's backup file is gone (its settings stay in the register).
bool BackupDeleted(const Revision& revision);
// "2026-12-10 10:06  alice@pc  write-back  T1: +3630 -> +3670  verified"; Windows-1250.
std::string HistoryLine(const Revision& revision);
// "Phone numbers, T1: "+3630" -> "+3670"", "Alarm events, 3, Code: "130" -> "131""; UTF-8.
std::string ChangeLine(const SettingChange& change);

// Whether any of the site's fields (account ID, customer, address, phone, notes, firmware) holds
// the text, ignoring case (letters of Windows-1250 too). An empty text matches every site.
bool SiteMatches(const Site& site, std::string_view text);

// Sites and revisions as RFC 4180 CSV in UTF-8, one row per revision with its site's customer
// fields (a site without revisions has one row of its own), every cell safe for spreadsheets.
std::string ExportCsv(SiteRegister& reg);

}  // namespace quelvar::sites
