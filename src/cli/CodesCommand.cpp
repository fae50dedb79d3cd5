#include "cli/CodesCommand.h"

#include <vector>

#include "cli/ExitCodes.h"
#include "settings/ContactId.h"

namespace quelvar::cli {

int RunCodes(std::ostream& out, std::ostream& err, const std::string& typed) {
    if (typed.find('*') != std::string::npos) {
        // A pattern as the Code cell takes it: its meaning first, then the events it matches.
        if (typed.size() != 3 || typed.find_first_not_of("0123456789*") != std::string::npos) {
            err << "A code is three characters of digits and *, not \"" << typed << "\"\n";
            return kExitUsage;
        }
        out << settings::ContactIdMeaning(typed) << "\n";
    }
    const std::vector<settings::ContactIdEvent> events = settings::FindContactIdEvents(typed);
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
