// The event codes and names of the published Contact ID event code list (SIA DC-05-1999.09,
// Digital Communication Standard, Contact ID protocol, event codes 100 to 699). The codes and
// their meanings are public facts; the names are shortened where the list's are long.

#include "settings/ContactId.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace quelvar::settings {

namespace {

struct CodeClass {
    int first;
    int last;
    const char* name;
};

// Ranges inside a hundred first, so that the narrowest class is found first.
constexpr CodeClass kClasses[] = {
    {100, 109, "Medical alarms"},
    {110, 119, "Fire alarms"},
    {120, 129, "Panic alarms"},
    {130, 139, "Burglary alarms"},
    {140, 149, "General alarms"},
    {150, 169, "24-hour non-burglary alarms"},
    {200, 299, "Supervisory"},
    {300, 399, "Troubles"},
    {400, 499, "Open/close and access"},
    {500, 599, "Bypasses and disables"},
    {600, 699, "Tests and miscellaneous"},
};

const std::vector<ContactIdEvent> kEvents = {
    {100, "Medical"},
    {101, "Personal emergency"},
    {102, "Fail to report in"},
    {110, "Fire"},
    {111, "Smoke"},
    {112, "Combustion"},
    {113, "Water flow"},
    {114, "Heat"},
    {115, "Pull station"},
    {116, "Duct"},
    {117, "Flame"},
    {118, "Fire near alarm"},
    {120, "Panic"},
    {121, "Duress"},
    {122, "Silent panic"},
    {123, "Audible panic"},
    {124, "Duress, access granted"},
    {125, "Duress, egress granted"},
    {130, "Burglary"},
    {131, "Perimeter"},
    {132, "Interior"},
    {133, "24-hour (safe)"},
    {134, "Entry/exit"},
    {135, "Day/night"},
    {136, "Outdoor"},
    {137, "Tamper"},
    {138, "Burglary near alarm"},
    {139, "Intrusion verifier"},
    {140, "General alarm"},
    {141, "Polling loop open"},
    {142, "Polling loop short"},
    {143, "Expansion module failure"},
    {144, "Sensor tamper"},
    {145, "Expansion module tamper"},
    {146, "Silent burglary"},
    {147, "Sensor supervision failure"},
    {150, "24-hour non-burglary"},
    {151, "Gas detected"},
    {152, "Refrigeration"},
    {153, "Loss of heat"},
    {154, "Water leakage"},
    {155, "Foil break"},
    {156, "Day trouble"},
    {157, "Low bottled gas level"},
    {158, "High temperature"},
    {159, "Low temperature"},
    {161, "Loss of air flow"},
    {162, "Carbon monoxide detected"},
    {163, "Tank level"},
    {200, "Fire supervisory"},
    {201, "Low water pressure"},
    {202, "Low CO2"},
    {203, "Gate valve sensor"},
    {204, "Low water level"},
    {205, "Pump activated"},
    {206, "Pump failure"},
    {300, "System trouble"},
    {301, "AC loss"},
    {302, "Low system battery"},
    {303, "RAM checksum bad"},
    {304, "ROM checksum bad"},
    {305, "System reset"},
    {306, "Panel programming changed"},
    {307, "Self-test failure"},
    {308, "System shutdown"},
    {309, "Battery test failure"},
    {310, "Ground fault"},
    {311, "Battery missing or dead"},
    {312, "Power supply overcurrent"},
    {313, "Engineer reset"},
    {320, "Sounder/relay trouble"},
    {321, "Bell 1 trouble"},
    {322, "Bell 2 trouble"},
    {323, "Alarm relay trouble"},
    {324, "Trouble relay trouble"},
    {325, "Reversing relay trouble"},
    {326, "Notification appliance circuit 3 trouble"},
    {327, "Notification appliance circuit 4 trouble"},
    {330, "System peripheral trouble"},
    {331, "Polling loop open trouble"},
    {332, "Polling loop short trouble"},
    {333, "Expansion module failure trouble"},
    {334, "Repeater failure"},
    {335, "Local printer out of paper"},
    {336, "Local printer failure"},
    {337, "Expansion module DC loss"},
    {338, "Expansion module low battery"},
    {339, "Expansion module reset"},
    {341, "Expansion module tamper trouble"},
    {342, "Expansion module AC loss"},
    {343, "Expansion module self-test failure"},
    {344, "RF receiver jam detected"},
    {350, "Communication trouble"},
    {351, "Telephone line 1 fault"},
    {352, "Telephone line 2 fault"},
    {353, "Long range radio transmitter fault"},
    {354, "Failure to communicate event"},
    {355, "Loss of radio supervision"},
    {356, "Loss of central polling"},
    {357, "Long range radio VSWR problem"},
    {370, "Protection loop trouble"},
    {371, "Protection loop open"},
    {372, "Protection loop short"},
    {373, "Fire trouble"},
    {374, "Exit error alarm (zone)"},
    {375, "Panic zone trouble"},
    {376, "Hold-up zone trouble"},
    {377, "Swinger trouble"},
    {378, "Cross-zone trouble"},
    {380, "Sensor trouble"},
    {381, "Loss of supervision, RF"},
    {382, "Loss of supervision, RPM"},
    {383, "Sensor tamper trouble"},
    {384, "RF low battery"},
    {385, "Smoke detector high sensitivity"},
    {386, "Smoke detector low sensitivity"},
    {387, "Intrusion detector high sensitivity"},
    {388, "Intrusion detector low sensitivity"},
    {389, "Sensor self-test failure"},
    {391, "Sensor watch trouble"},
    {392, "Drift compensation error"},
    {393, "Maintenance alert"},
    {400, "Open/close"},
    {401, "Open/close by user"},
    {402, "Group open/close"},
    {403, "Automatic open/close"},
    {406, "Cancel"},
    {407, "Remote arm/disarm"},
    {408, "Quick arm"},
    {409, "Keyswitch open/close"},
    {411, "Callback request made"},
    {412, "Successful download/access"},
    {413, "Unsuccessful access"},
    {414, "System shutdown command received"},
    {415, "Dialer shutdown command received"},
    {416, "Successful upload"},
    {421, "Access denied"},
    {422, "Access report by user"},
    {423, "Forced access"},
    {424, "Egress denied"},
    {425, "Egress granted"},
    {426, "Access door propped open"},
    {427, "Access point door status monitor trouble"},
    {428, "Access point request to exit trouble"},
    {429, "Access program mode entry"},
    {430, "Access program mode exit"},
    {431, "Access threat level change"},
    {432, "Access relay/trigger failure"},
    {433, "Access request to exit shunt"},
    {434, "Access door status monitor shunt"},
    {441, "Armed stay"},
    {442, "Keyswitch armed stay"},
    {450, "Exception open/close"},
    {451, "Early open/close"},
    {452, "Late open/close"},
    {453, "Failed to open"},
    {454, "Failed to close"},
    {455, "Auto-arm failed"},
    {456, "Partial arm"},
    {457, "Exit error (user)"},
    {458, "User on premises"},
    {459, "Recent close"},
    {461, "Wrong code entry"},
    {462, "Legal code entry"},
    {463, "Re-arm after alarm"},
    {464, "Auto-arm time extended"},
    {465, "Panic alarm reset"},
    {466, "Service on/off premises"},
    {501, "Access reader disable"},
    {520, "Sounder/relay disable"},
    {521, "Bell 1 disable"},
    {522, "Bell 2 disable"},
    {523, "Alarm relay disable"},
    {524, "Trouble relay disable"},
    {525, "Reversing relay disable"},
    {526, "Notification appliance circuit 3 disable"},
    {527, "Notification appliance circuit 4 disable"},
    {531, "Module added"},
    {532, "Module removed"},
    {551, "Dialer disabled"},
    {552, "Radio transmitter disabled"},
    {553, "Remote upload/download disabled"},
    {570, "Zone/sensor bypass"},
    {571, "Fire bypass"},
    {572, "24-hour zone bypass"},
    {573, "Burglary bypass"},
    {574, "Group bypass"},
    {575, "Swinger bypass"},
    {576, "Access zone shunt"},
    {577, "Access point bypass"},
    {601, "Manual trigger test report"},
    {602, "Periodic test report"},
    {603, "Periodic RF transmission"},
    {604, "Fire test"},
    {605, "Status report to follow"},
    {606, "Listen-in to follow"},
    {607, "Walk test mode"},
    {608, "Periodic test, system trouble present"},
    {609, "Video transmitter active"},
    {611, "Point tested OK"},
    {612, "Point not tested"},
    {613, "Intrusion zone walk tested"},
    {614, "Fire zone walk tested"},
    {615, "Panic zone walk tested"},
    {616, "Service request"},
    {621, "Event log reset"},
    {622, "Event log 50% full"},
    {623, "Event log 90% full"},
    {624, "Event log overflow"},
    {625, "Time/date reset"},
    {626, "Time/date inaccurate"},
    {627, "Program mode entry"},
    {628, "Program mode exit"},
    {629, "32-hour event log marker"},
    {630, "Schedule change"},
    {631, "Exception schedule change"},
    {632, "Access schedule change"},
    {641, "Senior watch trouble"},
    {642, "Latch-key supervision"},
    {654, "System inactivity"},
};

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// The narrowest class holding every code from first to last.
const CodeClass* ClassHolding(int first, int last) {
    for (const CodeClass& each : kClasses) {
        if (each.first <= first && last <= each.last) {
            return &each;
        }
    }
    return nullptr;
}

// What a code says, without the code itself, and whether the list holds what it names.
struct Described {
    std::string text;
    bool listed = true;
};

// "13*" and "1**": stars only after the digits.
Described PrefixPattern(std::string_view code, std::size_t digits) {
    const int prefix = digits == 0 ? 0 : std::stoi(std::string(code.substr(0, digits)));
    int span = 1;
    for (std::size_t i = digits; i < 3; ++i) {
        span *= 10;
    }
    const int first = prefix * span;
    const int last = first + span - 1;
    if (digits == 0) {
        return {"any event"};
    }
    if (first == 100 && last == 199) {
        return {"any alarm (100-199)"};
    }
    char range[16];
    std::snprintf(range, sizeof range, "%03d-%03d", first, last);
    const CodeClass* holding = ClassHolding(first, last);
    return holding
               ? Described{std::string("any of ") + range + ", " + holding->name}
               : Described{std::string("any of ") + range + ", not in the Contact ID list", false};
}

bool IsPattern(std::string_view code) {
    return code.size() == 3 && code.find('*') != std::string_view::npos &&
           code.find_first_not_of("0123456789*") == std::string_view::npos;
}

Described Describe(std::string_view code) {
    if (const std::optional<std::string> name = ContactIdName(code)) {
        return {*name};
    }
    if (!IsPattern(code)) {
        return {"not in the Contact ID list", false};
    }
    const std::size_t digits = code.find('*');
    if (code.find_first_not_of('*', digits) == std::string_view::npos) {
        return PrefixPattern(code, digits);
    }
    std::string form(code);
    std::replace(form.begin(), form.end(), '*', '?');
    return {"any code of the form " + form + " (? any digit)"};
}

// A word of digits and '*' matches a code position by position from its start.
bool CodeWord(std::string_view word) {
    return !word.empty() && word.find_first_not_of("0123456789*") == std::string_view::npos;
}

bool CodeMatches(std::string_view word, const std::string& code) {
    if (word.size() > code.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '*' && word[i] != code[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

const std::vector<ContactIdEvent>& ContactIdEvents() {
    return kEvents;
}

std::string ContactIdClass(int code) {
    const CodeClass* holding = ClassHolding(code, code);
    return holding ? holding->name : "";
}

std::optional<std::string> ContactIdName(std::string_view code) {
    if (code.size() != 3 || !AllDigits(code)) {
        return std::nullopt;
    }
    const int number = std::stoi(std::string(code));
    const auto found = std::lower_bound(
        kEvents.begin(), kEvents.end(), number,
        [](const ContactIdEvent& event, int wanted) { return event.code < wanted; });
    if (found == kEvents.end() || found->code != number) {
        return std::nullopt;
    }
    return std::string(found->name);
}

std::string ContactIdMeaning(std::string_view code) {
    if (code.empty()) {
        return {};
    }
    const std::string text(code);
    return text + (ContactIdName(code) ? " " : ": ") + Describe(code).text;
}

std::string ContactIdNote(std::string_view code) {
    const Described described = Describe(code);
    return described.listed ? described.text : std::string();
}

std::vector<ContactIdEvent> FindContactIdEvents(std::string_view typed) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : Lower(typed) + " ") {
        if (c == ' ') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    std::vector<ContactIdEvent> found;
    for (const ContactIdEvent& event : kEvents) {
        const std::string code = std::to_string(event.code);
        const std::string text = Lower(std::string(event.name) + " " + ContactIdClass(event.code));
        const bool matches = std::all_of(words.begin(), words.end(), [&](const std::string& w) {
            return CodeWord(w) ? CodeMatches(w, code) : text.find(w) != std::string::npos;
        });
        if (matches) {
            found.push_back(event);
        }
    }
    return found;
}

std::optional<std::string> ContactIdLineMeaning(std::string_view line) {
    // "E130 01 001": qualifier, code, partition, zone or user.
    while (!line.empty() && line.back() == ' ') {
        line.remove_suffix(1);
    }
    if (line.size() != 11 || (line[0] != 'E' && line[0] != 'R') || line[4] != ' ' ||
        line[7] != ' ' || !AllDigits(line.substr(1, 3)) || !AllDigits(line.substr(5, 2)) ||
        !AllDigits(line.substr(8, 3))) {
        return std::nullopt;
    }
    const std::string code(line.substr(1, 3));
    std::string what = ContactIdName(code).value_or("Event " + code);
    if (code[0] == '4') {
        what += line[0] == 'E' ? " (opening)" : " (closing)";
    } else if (line[0] == 'R') {
        what += " restored";
    }
    return what + ", partition " + std::string(line.substr(5, 2)) + ", zone " +
           std::string(line.substr(8, 3));
}

}  // namespace quelvar::settings
