#include "cli/CodesCommand.h"

#include <vector>

#include "cli/ExitCodes.h"
#include "settings/ContactId.h"

namespace quelvar::cli {

namespace {

bool MatchesPattern(const std::string& pattern, int code) {
    const std::string digits = std::to_string(code);
    for (std::size_t i = 0; i < 3; ++i) {
        if (pattern[i] != '*' && pattern[i] != digits[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

int RunCodes(std::ostream& out, std::ostream& err, const std::string& typed) {
    std::vector<settings::ContactIdEvent> events;
    if (typed.find('*') != std::string::npos) {
        // A pattern as the Code cell takes it: its meaning, then the events it matches.
        if (typed.size() != 3 || typed.find_first_not_of("0123456789*") != std::string::npos) {
            err << "A code is three characters of digits and *, not \"" << typed << "\"\n";
            return kExitUsage;
        }
        out << settings::ContactIdMeaning(typed) << "\n";
        for (const settings::ContactIdEvent& event : settings::ContactIdEvents()) {
            if (MatchesPattern(typed, event.code)) {
                events.push_back(event);
            }
        }
    } else {
        events = settings::FindContactIdEvents(typed);
    }
    for (const settings::ContactIdEvent& event : events) {
        out << event.code << "\t" << event.name << "\t" << settings::ContactIdClass(event.code)
            << "\n";
    }
    if (events.empty()) {
        err << "No Contact ID event matches \"" << typed << "\"\n";
        return kExitNothingFound;
    }
    return kExitOk;
}

}  // namespace quelvar::cli
