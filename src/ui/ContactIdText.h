#pragma once
// Contact ID meanings as the window shows them: in the tool tips of code cells and of event
// lines, and beside the device log's lines.

#include <QString>
#include <string>

namespace quelvar::ui {

// "Burglary, partition 01, zone 001" for an event line in Contact ID form; empty otherwise.
QString EventMeaning(const std::string& line);
// "130 Burglary", "13*: any of 130-139, Burglary alarms"; empty for an empty cell.
QString CodeMeaning(const std::string& code);

}  // namespace quelvar::ui
