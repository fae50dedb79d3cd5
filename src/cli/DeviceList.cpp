#include "cli/DeviceList.h"

#include <thread>

#include "cli/CommandDevice.h"
#include "cli/ExitCodes.h"
#include "exchange/DeviceExchange.h"
#include "exchange/DevicePassword.h"
#include "link/ConnHIDCOM.h"
#include "link/HID.h"
#include "link/PortName.h"
#include "settings/BackupStore.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

using namespace std::chrono_literals;

struct DeviceFacts {
    std::optional<std::string> firmware, password, account;
};

DeviceFacts AskDevice(link::HidPlatform& platform, const std::string& path) {
    link::ConnHIDCOM connection(platform, path);
    connection.Open();
    DeviceFacts facts;
    if (!WaitForAttach(connection, 3s)) {
        return facts;
    }
    // Readable without a log-in, as status reads them.
    exchange::DeviceExchange exchange(connection);
    facts.firmware = exchange.TryGetParameter("VSTR");
    facts.password = exchange.TryGetParameter("PW");
    facts.account = exchange.TryGetParameter(std::string(settings::kAccountKey));
    return facts;
}

// true, false, or null when "PW" went unanswered.
std::string PasswordJson(const std::optional<std::string>& pw) {
    const auto kind = exchange::ParseDevicePassword(pw).kind;
    if (kind == exchange::DevicePassword::Kind::kUnanswered) {
        return "null";
    }
    return kind == exchange::DevicePassword::Kind::kNoneNeeded ? "false" : "true";
}

std::string PasswordWords(const std::optional<std::string>& pw) {
    switch (exchange::ParseDevicePassword(pw).kind) {
        case exchange::DevicePassword::Kind::kNoneNeeded:
            return "no password";
        case exchange::DevicePassword::Kind::kUnanswered:
            return "password unknown";
        default:
            return "password set";
    }
}

std::string JsonText(const std::string& utf8) {
    std::string text = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            text += escaped;
        } else {
            text += c;
        }
    }
    return text + "\"";
}

std::string Shown(const std::optional<std::string>& value) {
    return value ? settings::Cp1250ToPrintableUtf8(*value) : std::string("(no answer)");
}

void PrintChoices(const std::vector<AttachedDevice>& devices, std::ostream& err) {
    for (const AttachedDevice& device : devices) {
        err << "  " << device.number << "  port " << device.port << "  " << device.path << "\n";
    }
}

}  // namespace

std::vector<AttachedDevice> AttachedDevices(link::HidPlatform& platform) {
    std::vector<AttachedDevice> devices;
    for (const link::DeviceInfo& info : link::ListCommunicators(platform)) {
        devices.push_back({devices.size() + 1, info.path, link::ShortPortName(info.path)});
    }
    return devices;
}

DeviceChoice ChooseDevice(link::HidPlatform& platform, const std::optional<std::string>& device,
                          std::ostream& err) {
    const std::vector<AttachedDevice> devices = AttachedDevices(platform);
    if (!device) {
        if (devices.size() > 1) {
            err << devices.size()
                << " communicators are attached; choose one with --device (a number or a "
                   "path):\n";
            PrintChoices(devices, err);
            return {{}, kExitUsage};
        }
        return {};
    }
    const bool number = !device->empty() && device->size() < 4 &&
                        device->find_first_not_of("0123456789") == std::string::npos;
    if (!number) {
        return {*device, kExitOk};  // a path: waited for as any device is
    }
    const std::size_t index = std::stoul(*device);
    if (index == 0 || index > devices.size()) {
        err << "No communicator number " << *device << " is attached";
        err << (devices.empty() ? std::string("\n") : ":\n");
        PrintChoices(devices, err);
        return {{}, kExitNoDevice};
    }
    return {devices[index - 1].path, kExitOk};
}

int RunList(link::HidPlatform& platform, std::chrono::milliseconds wait, bool json,
            std::ostream& out, std::ostream& err) {
    std::vector<AttachedDevice> devices = AttachedDevices(platform);
    for (const auto until = std::chrono::steady_clock::now() + wait;
         devices.empty() && std::chrono::steady_clock::now() < until;
         devices = AttachedDevices(platform)) {
        std::this_thread::sleep_for(50ms);
    }
    if (json) {
        out << "[";
    }
    for (const AttachedDevice& device : devices) {
        const DeviceFacts facts = AskDevice(platform, device.path);
        if (json) {
            out << (device.number > 1 ? ",\n " : "\n ") << "{\"number\": " << device.number
                << ", \"port\": " << JsonText(device.port)
                << ", \"path\": " << JsonText(device.path)
                << ", \"firmware\": " << (facts.firmware ? JsonText(Shown(facts.firmware)) : "null")
                << ", \"passwordSet\": " << PasswordJson(facts.password)
                << ", \"account\": " << (facts.account ? JsonText(Shown(facts.account)) : "null")
                << "}";
        } else {
            out << device.number << "\tport " << device.port << "\t" << device.path << "\tfirmware "
                << Shown(facts.firmware) << "\t" << PasswordWords(facts.password) << "\taccount "
                << Shown(facts.account) << "\n";
        }
    }
    if (json) {
        out << (devices.empty() ? "]\n" : "\n]\n");
    }
    if (devices.empty()) {
        err << "No communicator found within " << Seconds(wait) << "\n";
        return kExitNoDevice;
    }
    return kExitOk;
}

}  // namespace quelvar::cli
