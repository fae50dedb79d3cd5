#include "link/PortName.h"

#include <filesystem>
#include <system_error>

namespace quelvar::link {

namespace {

// "1-1.2:1.0" names an interface of the device on port "1-1.2" (bus 1, hub port 1, port 2).
bool IsInterfaceName(const std::string& name) {
    const std::size_t colon = name.find(':');
    return colon != std::string::npos && colon > 2 && name.find('-') < colon &&
           name.find_first_not_of("0123456789-.") == colon;
}

std::string LinuxPort(const std::string& path) {
    const std::string node = std::filesystem::path(path).filename().string();
    std::error_code error;
    const std::filesystem::path device =
        std::filesystem::canonical("/sys/class/hidraw/" + node + "/device", error);
    if (error) {
        return {};
    }
    for (std::filesystem::path at = device; at.has_relative_path() && at != at.root_path();
         at = at.parent_path()) {
        const std::string name = at.filename().string();
        if (IsInterfaceName(name)) {
            return name.substr(0, name.find(':'));
        }
    }
    return {};
}

}  // namespace

std::string ShortPortName(const std::string& path) {
    if (path.starts_with("/dev/hidraw")) {
        const std::string port = LinuxPort(path);
        return port.empty() ? path.substr(5) : port;
    }
    // \\?\hid#vid_04d8&pid_003f#7&2a8b1c&0&0000#{4d1e55b2-...}: the instance between the #s.
    const std::size_t first = path.find('#');
    const std::size_t second = first == std::string::npos ? first : path.find('#', first + 1);
    if (second != std::string::npos) {
        const std::size_t third = path.find('#', second + 1);
        return third == std::string::npos ? path.substr(second)
                                          : path.substr(second + 1, third - second - 1);
    }
    if (first != std::string::npos) {
        return path.substr(first);
    }
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace quelvar::link
