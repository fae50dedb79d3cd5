#pragma once
// The device password as "PW" holds it, and the four digits a user enters for it.

#include <optional>
#include <string>
#include <string_view>

namespace quelvar::exchange {

// The device's password value that asks for no password.
inline constexpr long long kNoPassword = 583920;
// Added to the four digits read as a number; the device holds the sum as decimal text.
inline constexpr long long kPasswordOffset = 18;
// The largest number four digits give, before the offset.
inline constexpr long long kLargestPassword = 9999;

// The encoded form of exactly four decimal digits; nothing for any other text.
std::optional<long long> EncodePassword(std::string_view digits);

// What "PW" says about logging in.
struct DevicePassword {
    enum class Kind {
        kNoneNeeded,  // it holds kNoPassword
        kNumber,      // `value`, which four digits give, must be entered
        kNotANumber,  // `text` is no decimal number, so no entry logs in
        kOutOfReach,  // a number no four digits give (an empty text counts as 0)
        kUnanswered,  // the request went unanswered or could not be sent
    };
    Kind kind = Kind::kUnanswered;
    long long value = 0;
    std::string text;

    // True when the encoded entry logs in: always for kNoneNeeded, never without a number.
    bool Accepts(long long encoded) const;
};

// What the answer to a request for "PW" says; kUnanswered when there is no answer.
DevicePassword ParseDevicePassword(const std::optional<std::string>& text);

}  // namespace quelvar::exchange
