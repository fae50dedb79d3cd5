#include "link/Report.h"

#include <algorithm>

namespace quelvar::link {

std::string TextAt(const Report& report, std::size_t offset) {
    if (offset >= report.size()) {
        return {};
    }
    const auto begin = report.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto end = std::find(begin, report.end(), std::uint8_t{0});
    return std::string(begin, end);
}

Report ReportFromBytes(const std::uint8_t* bytes, std::size_t count) {
    Report report{};
    if (bytes != nullptr) {
        std::copy_n(bytes, std::min(count, report.size()), report.begin());
    }
    return report;
}

}  // namespace quelvar::link
