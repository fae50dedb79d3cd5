#pragma once
// Contact ID event codes and their names, for the editors, the tool tips, the report and the
// command line: an exact code's name, what a pattern with '*' matches, a search by code or word,
// and the meaning of a Contact ID line as the device reports it ("E130 01 001").

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvar::settings {

struct ContactIdEvent {
    int code = 0;           // 100 to 699
    const char* name = "";  // English, as the window's dialogs are
};

// The table, in code order.
const std::vector<ContactIdEvent>& ContactIdEvents();

// The class a code belongs to ("Burglary alarms", "Troubles"); empty outside the list's ranges.
std::string ContactIdClass(int code);

// "Burglary" for "130"; nothing for a code not in the list or a text that is no three digits.
std::optional<std::string> ContactIdName(std::string_view code);

// What a Code cell holds, in one line: "130 Burglary", "13*: any of 130-139, Burglary alarms",
// "1**: any alarm (100-199)", "***: any event", "731: not in the Contact ID list". Empty for an
// empty cell.
std::string ContactIdMeaning(std::string_view code);

// The same without the code, for a note beside it: "Burglary", "any of 130-139, Burglary
// alarms"; empty for an empty cell and for what the list does not hold.
std::string ContactIdNote(std::string_view code);

// The events that every word typed matches (case ignored): a word of digits and '*' the code's
// start, position by position ("13", "13*", "1*0"); any other word the name or the class
// ("fire", "tamp"). Every event for an empty text.
std::vector<ContactIdEvent> FindContactIdEvents(std::string_view typed);

// The E/R cell's explanation.
inline constexpr const char* kQualifierMeaning = "E: new event or opening; R: restore or closing";

// "Burglary, partition 01, zone 001" for "E130 01 001" ("Burglary restored, ..." for R); nothing
// for a line in another form.
std::optional<std::string> ContactIdLineMeaning(std::string_view line);

}  // namespace quelvar::settings
