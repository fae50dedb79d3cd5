// The window with several communicators attached: which one it shows, choosing another, and
// the device view paused while the provisioning line works them.

#include "link/HID.h"
#include "link/PortName.h"
#include "ui/ChooseDeviceDialog.h"
#include "ui/Gsm.h"
#include "ui/GsmMoreMenu.h"
#include "ui/ProvisionDialog.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

// The list of attached devices is the system's enumeration: once every few ticks is enough.
constexpr int kTicksPerDeviceList = 4;
constexpr const char* kSequenceRunning =
    "A device sequence is running; try again once it has ended";

}  // namespace

bool TFormMain::PauseDevice() {
    if (sequenceRunning_) {
        return false;
    }
    if (monitor_.State().ConnectedShown()) {
        DisconnectTransition();
    }
    // Nothing attached as far as the monitor knows: no transition is due until the connection
    // is opened again.
    monitor_.State().Saw(false, 0);
    exchange.reset();
    connection.reset();
    ui.sbDevices->hide();
    return true;
}

void TFormMain::ResumeDevice() {
    if (!connection && shown_) {
        OpenConnection();
        ticksSinceDeviceList_ = 0;
    }
}

bool TFormMain::UseDevice(const std::string& path) {
    if (!PauseDevice()) {
        return false;
    }
    chosenDevice_ = path;
    ResumeDevice();
    return true;
}

void TFormMain::ShowAttachedDevices() {
    if (!connection || ticksSinceDeviceList_++ % kTicksPerDeviceList != 0) {
        return;
    }
    const std::vector<link::DeviceInfo> attached = link::ListCommunicators(platform_);
    if (attached.size() < 2) {
        ui.sbDevices->hide();
        return;
    }
    const std::string path = connection->Snapshot().devicePath;
    const QString which = path.empty()
                              ? QString("none is shown")
                              : "this one on port " + FromLocalPath(link::ShortPortName(path));
    ui.sbDevices->setText(QString("%1 communicators attached; %2").arg(attached.size()).arg(which));
    ui.sbDevices->setToolTip(path.empty() ? QString() : PlainToolTip(FromLocalPath(path)));
    ui.sbDevices->show();
}

void MoreMenu::ChooseDevice() {
    ChooseDeviceDialog dialog(link::ListCommunicators(form_.Platform()), form_.ChosenDevice(),
                              &form_);
    if (ExecWindowModal(dialog) != QDialog::Accepted) {
        return;
    }
    const std::optional<std::string> chosen = dialog.Chosen();
    if (chosen && *chosen != form_.ChosenDevice() && !form_.UseDevice(*chosen)) {
        ShowWarning(&form_, kSequenceRunning);
    }
}

void MoreMenu::ProvisionDevices() {
    if (!form_.PauseDevice()) {
        ShowWarning(&form_, kSequenceRunning);
        return;
    }
    {
        ProvisionDialog dialog(form_.Platform(), form_.Sites().Use(), &form_);
        ExecWindowModal(dialog);
    }
    form_.ResumeDevice();
}

}  // namespace quelvar::ui
