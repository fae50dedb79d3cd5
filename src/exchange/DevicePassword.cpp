#include "exchange/DevicePassword.h"

#include <charconv>

namespace quelvar::exchange {

std::optional<long long> EncodePassword(std::string_view digits) {
    if (digits.size() != 4) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value + kPasswordOffset;
}

bool DevicePassword::Accepts(long long encoded) const {
    return kind == Kind::kNoneNeeded || (kind == Kind::kNumber && value == encoded);
}

DevicePassword ParseDevicePassword(const std::optional<std::string>& text) {
    DevicePassword password;
    if (!text) {
        return password;
    }
    password.text = *text;
    if (text->empty()) {
        password.kind = DevicePassword::Kind::kOutOfReach;
        return password;
    }
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, password.value);
    if (error != std::errc() || stop != end) {
        password.kind = DevicePassword::Kind::kNotANumber;
        return password;
    }
    const bool reachable =
        password.value >= kPasswordOffset && password.value <= kPasswordOffset + kLargestPassword;
    if (password.value == kNoPassword) {
        password.kind = DevicePassword::Kind::kNoneNeeded;
    } else {
        password.kind =
            reachable ? DevicePassword::Kind::kNumber : DevicePassword::Kind::kOutOfReach;
    }
    return password;
}

}  // namespace quelvar::exchange
