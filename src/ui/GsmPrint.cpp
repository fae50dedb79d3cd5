// "Print settings...": the settings report of what the window shows, with the device's firmware
// and acknowledgement marks when a device is logged in.

#include <QDate>

#include "exchange/DeviceSession.h"
#include "settings/SettingsReport.h"
#include "ui/Gsm.h"
#include "ui/SettingsReportDialog.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

void TFormMain::PrintSettings() {
    if (sequenceRunning_ || !model.IsSetUp()) {
        return;
    }
    settings::ReportFacts facts;
    facts.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    facts.modeIndex = OpModeIndex();
    if (DeviceLoggedIn()) {
        SequenceGuard sequence(*this);
        if (LoggedInDevice()) {
            // No answer leaves the line out rather than print an empty version.
            exchange::DeviceSession session(*exchange, {}, exchange::kSilenceLimit);
            if (std::string firmware = session.Get("VSTR").value_or(""); !firmware.empty()) {
                facts.firmware = std::move(firmware);
            }
            if (!ackMask.empty()) {
                facts.ackMask = ackMask;
            }
        }
    }
    SettingsReportDialog dialog(
        [this, facts](bool withPin) mutable {
            facts.withPin = withPin;
            const std::string html = settings::BuildSettingsReport(model, facts);
            return QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size()));
        },
        this);
    ExecWindowModal(dialog);
}

}  // namespace quelvar::ui
