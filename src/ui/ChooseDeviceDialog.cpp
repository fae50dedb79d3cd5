#include "ui/ChooseDeviceDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/PortName.h"
#include "ui/QtText.h"

namespace quelvar::ui {

ChooseDeviceDialog::ChooseDeviceDialog(const std::vector<link::DeviceInfo>& attached,
                                       const std::string& shown, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Choose device");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("The window works with this communicator:", this);
    lstDevices = new QListWidget(this);
    lstDevices->setObjectName("lstDevices");
    lstDevices->addItem(kFirstFound);
    paths_.push_back({});
    for (const link::DeviceInfo& device : attached) {
        // The path is the system's: shown as its bytes say, never as markup (a list item is
        // plain text).
        lstDevices->addItem(
            QString("Port %1    %2")
                .arg(FromLocalPath(link::ShortPortName(device.path)), FromLocalPath(device.path)));
        paths_.push_back(device.path);
    }
    for (std::size_t line = 0; line < paths_.size(); ++line) {
        if (paths_[line] == shown) {
            lstDevices->setCurrentRow(static_cast<int>(line));
        }
    }
    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lstDevices, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    layout->addWidget(label);
    layout->addWidget(lstDevices);
    layout->addWidget(buttons);
    resize(560, 240);
}

std::optional<std::string> ChooseDeviceDialog::Chosen() const {
    const int row = lstDevices->currentRow();
    if (row < 0 || row >= static_cast<int>(paths_.size())) {
        return std::nullopt;
    }
    return paths_[static_cast<std::size_t>(row)];
}

}  // namespace quelvar::ui
