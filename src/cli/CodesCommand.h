#pragma once
// `codes [TEXT]`: the Contact ID event codes and their names, or those that match.

#include <ostream>
#include <string>

namespace quelvar::cli {

// One line per event ("130\tBurglary\tBurglary alarms"); a code with '*' is said first as the
// pattern it is. 0, or 1 with a line on `err` when nothing matches.
int RunCodes(std::ostream& out, std::ostream& err, const std::string& typed);

}  // namespace quelvar::cli
