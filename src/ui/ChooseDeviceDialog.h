#pragma once
// More > Choose device...: the communicators attached, by port and USB path, and "The first one
// found" (the window's way with a single communicator).

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <optional>
#include <string>
#include <vector>

#include "link/HID.h"

namespace quelvar::ui {

inline constexpr const char* kFirstFound = "The first one found";

class ChooseDeviceDialog : public QDialog {
    Q_OBJECT
  public:
    // `shown`: the path the window works with now ("" for the first found), selected.
    ChooseDeviceDialog(const std::vector<link::DeviceInfo>& attached, const std::string& shown,
                       QWidget* parent);

    // The path chosen ("" for the first found); nothing while no line is selected.
    std::optional<std::string> Chosen() const;

    QListWidget* lstDevices = nullptr;
    QDialogButtonBox* buttons = nullptr;

  private:
    std::vector<std::string> paths_;  // by line; the first line's is ""
};

}  // namespace quelvar::ui
