// "Print settings...": the settings report of what the window shows, with the device's firmware
// and acknowledgement marks when a device is logged in.

#include <QDate>

#include "exchange/DeviceSession.h"
#include "settings/SettingsReport.h"
#include "ui/Gsm.h"
#include "ui/GsmMoreMenu.h"
#include "ui/SettingsReportDialog.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

void MoreMenu::PrintSettings() {
    if (form_.SequenceRunning() || !form_.model.IsSetUp()) {
        return;
    }
    settings::ReportFacts facts;
    facts.date = QDate::currentDate().toString(Qt::ISODate).toStdString();
    facts.modeIndex = ui_.OpModeIndex();
    if (form_.DeviceLoggedIn()) {
        if (const std::optional<sites::Site> site =
                form_.Sites().Customer(pending_.Held().AccountId())) {
            for (const auto& [field, into] : {std::pair{&site->name, &facts.customerName},
                                              std::pair{&site->address, &facts.customerAddress}}) {
                if (!field->empty()) {
                    *into = *field;
                }
            }
        }
        form_.RunOnDevice([&](exchange::DeviceSession& session) {
            // No answer leaves the line out rather than print an empty version.
            if (std::string firmware = session.Get("VSTR").value_or(""); !firmware.empty()) {
                facts.firmware = std::move(firmware);
            }
            if (!form_.ackMask().empty()) {
                facts.ackMask = form_.ackMask();
            }
        });
    }
    SettingsReportDialog dialog(
        [this, facts](bool withPin) mutable {
            facts.withPin = withPin;
            const std::string html = settings::BuildSettingsReport(form_.model, facts);
            return QString::fromUtf8(html.data(), static_cast<qsizetype>(html.size()));
        },
        &form_);
    ExecWindowModal(dialog);
}

}  // namespace quelvar::ui
