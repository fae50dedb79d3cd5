#include "link/ConnectionInterface.h"

namespace quelvar::link {

void Connection::NotifyReceive(std::uint32_t a, std::uint32_t b) {
    for (std::size_t i = 0; i < receiveListeners.Count(); ++i) {
        receiveListeners.Get(i)->NotifyReceive(a, b);
    }
}

}  // namespace quelvar::link
