#pragma once
// The HID platform of the system the program was built for.

#include <memory>

#include "link/HidPlatform.h"

namespace quelvar::link {

// WinHidPlatform on Windows, HidapiPlatform elsewhere.
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace quelvar::link
