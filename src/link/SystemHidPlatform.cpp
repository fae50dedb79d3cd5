#include "link/SystemHidPlatform.h"

#ifdef _WIN32
#include "link/WinHidPlatform.h"
#else
#include "link/HidapiPlatform.h"
#endif

namespace quelvar::link {

std::unique_ptr<HidPlatform> MakeSystemHidPlatform() {
#ifdef _WIN32
    return std::make_unique<WinHidPlatform>();
#else
    return std::make_unique<HidapiPlatform>();
#endif
}

}  // namespace quelvar::link
