#pragma once
// The settings report for the customer's records: one HTML document (UTF-8) built from a model,
// which the window prints or saves as PDF and the command line writes as it is.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Catalogue.h"

namespace quelvar::settings {

struct ReportFacts {
    std::string date;  // as it should be printed, e.g. 2026-12-09
    // The site register's customer of the account, Windows-1250; each only when known.
    std::optional<std::string> customerName, customerAddress;
    std::optional<std::string> firmware;  // Windows-1250; only when a device is logged in
    int modeIndex = 0;                    // 0 Standalone, 1 Transparent
    // The phone numbers' acknowledgement marks, four "0"/"1" as the device gives them; nothing
    // when they are not known (a settings file does not hold them).
    std::optional<std::string> ackMask;
    // A settings file's values that hold characters Windows-1250 lacks, in UTF-8 by key (see
    // SettingsFileContent::OriginalValue): shown so, marked as not sendable. May be empty.
    std::function<std::optional<std::string>(std::string_view key)> originalValue;
    // The file's findings (missing keys, invalid values), one UTF-8 line each.
    std::vector<std::string> findings;
    // The report is the customer's copy: the SIM card's PIN is printed only when asked for.
    bool withPin = false;
};

// Every settings group with its captions and values, the rows of both event tables that hold
// anything, the findings if there are any, and lines for the installer's and the customer's
// signatures. Never fails on a set-up model; an ackMask that is not four marks shows none.
std::string BuildSettingsReport(const SettingsModel& model, const ReportFacts& facts);

}  // namespace quelvar::settings
