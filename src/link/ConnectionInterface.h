#pragma once
// The abstract connection and its list of receive listeners.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quelvar::link {

class Connection;

// A growable list of listener pointers; it never owns or frees them.
template <typename T>
class PointerList {
  public:
    void Add(T* item) { items_.push_back(item); }
    std::size_t Count() const { return items_.size(); }
    // nullptr past the end.
    T* Get(std::size_t index) const { return index < items_.size() ? items_[index] : nullptr; }

  private:
    std::vector<T*> items_;
};

class OnReceiveEventList : public PointerList<Connection> {};

class Connection {
  public:
    Connection() = default;
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // True while a device object exists.
    virtual bool IsOpen() = 0;
    // Sends raw bytes as text chunks; true even when nothing could be sent.
    virtual bool Write(const std::uint8_t* bytes, std::size_t length) = 0;
    // As Write; nothing says whether it was sent.
    virtual void WriteText(const std::string& text) = 0;
    // Creates the device object and starts the receiver thread; true once started, whether or
    // not a device is found.
    virtual bool Open() = 0;
    // Stops the receiver thread and waits for it.
    virtual void Close() = 0;
    virtual std::string GetName() = 0;
    // Passes (a, b) to every receive listener, index 0 first.
    virtual void NotifyReceive(std::uint32_t a, std::uint32_t b);

    OnReceiveEventList receiveListeners;
};

}  // namespace quelvar::link
