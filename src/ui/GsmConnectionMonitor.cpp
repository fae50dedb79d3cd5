#include "ui/GsmConnectionMonitor.h"

#include <QTimer>

#include "ui/DeviceLog.h"
#include "ui/Gsm.h"
#include "ui/GsmControls.h"

namespace quelvar::ui {

ConnectionMonitor::ConnectionMonitor(const std::unique_ptr<link::ConnHIDCOM>& connection,
                                     MainControls& ui, QObject* context, Transitions transitions)
    : connection_(connection), ui_(ui), context_(context), transitions_(std::move(transitions)) {}

void ConnectionMonitor::Follow() {
    if (connection_) {
        bool update = false;
        bool permissionDenied = false;
        std::array<std::string, 5> texts;
        std::string event;
        std::uint64_t dropped = 0;
        const std::vector<link::StatusRecord> records = connection_->TakeStatusRecords(dropped);
        const link::LinkSnapshot seen = connection_->Snapshot();
        if (seen.hasDevice) {
            deviceState_.Saw(seen.attached, seen.attachment);
            if (seen.attached && deviceState_.StatusDue()) {
                update = true;
                texts = {seen.input1State, seen.input2State, seen.simStatus, seen.gsmSignal,
                         seen.lineState};
                event = connection_->TakeEventLine();
            }
            permissionDenied =
                !seen.attached && seen.openError == link::OpenError::kPermissionDenied;
        }
        if (!seen.hasDevice || !seen.attached) {
            ui_.ShowNoStatus();
        }
        ui_.deviceLog->Add(records);
        ui_.deviceLog->SetAttached(deviceState_.SeenAttached());
        if (update) {
            ui_.ShowStatus(texts, event);
        }
        ShowPermissionProblem(permissionDenied);
    }
    RunDueTransitions();
}

void ConnectionMonitor::RunDueTransitions() {
    const bool due = deviceState_.TransitionDue();
    // A log-in inside a dialog's loop would overwrite the grids under the user's edit; the
    // dialog's close or the sequence's end catches up.
    deviceState_.Hold(due && transitions_.held());
    if (!due || deviceState_.Held()) {
        return;
    }
    if (deviceState_.ConnectedShown()) {
        transitions_.disconnect();
    }
    if (deviceState_.SeenAttached()) {
        transitions_.connect();
    }
}

void ConnectionMonitor::CatchUpSoon() {
    QTimer::singleShot(0, context_, [this] {
        if (deviceState_.Held() && !transitions_.held()) {
            transitions_.tick();
        }
    });
}

bool ConnectionMonitor::SameAttachmentAsConnected() const {
    return connection_ && deviceState_.IsConnected(connection_->Attachment());
}

bool ConnectionMonitor::LogInPossible(bool sequenceRunning) const {
    return connection_ && connection_->IsAttached() && deviceState_.ConnectedShown() &&
           SameAttachmentAsConnected() && !sequenceRunning;
}

bool ConnectionMonitor::DeviceLoggedIn() const {
    return deviceState_.IsLoggedIn(connection_ ? connection_->Attachment() : 0);
}

bool ConnectionMonitor::LoggedInDevice() {
    const std::uint64_t now = connection_ ? connection_->Attachment() : 0;
    if (deviceState_.IsLoggedIn(now)) {
        // For the rest of the sequence: a device plugged in while it runs gets nothing.
        connection_->PinAttachment(now);
        return true;
    }
    if (now == 0) {
        ui_.SetStatusText(2, kNotConnected);
    } else if (!deviceState_.ConnectedShown() || !deviceState_.IsConnected(now)) {
        ui_.SetStatusText(2, kReplugged);
    } else {
        ui_.SetStatusText(2, kNotLoggedIn);
        return false;
    }
    // The monitor follows the device at once rather than at its next tick.
    deviceState_.Hold(true);
    CatchUpSoon();
    return false;
}

void ConnectionMonitor::ShowPermissionProblem(bool denied) {
    if (denied && !permissionShown_) {
        ui_.SetStatusText(2, kNoPermission);
    } else if (!denied && permissionShown_ && ui_.StatusText(2) == kNoPermission) {
        ui_.SetStatusText(2, QString());
    }
    permissionShown_ = denied;
}

}  // namespace quelvar::ui
