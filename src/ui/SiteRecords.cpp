#include "ui/SiteRecords.h"

#include <QCoreApplication>
#include <cstdlib>

#include "settings/BackupStore.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

std::string ProgramName() {
    return (QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion())
        .trimmed()
        .toStdString();
}

}  // namespace

SiteRecords::SiteRecords()
    : use_(sites::DefaultRegisterFile(std::getenv), settings::DefaultBackupFolder(std::getenv),
           sites::ThisRecorder(ProgramName())) {
    use_.Prepare();
}

sites::DeviceFacts SiteRecords::Facts(const link::ConnHIDCOM* connection,
                                      const settings::HeldSettings& held) {
    return {connection ? connection->Snapshot().devicePath : std::string(), held.Firmware(),
            held.AccountId()};
}

void SiteRecords::RecordRead(const settings::SettingsModel& model, int modeIndex,
                             const sites::DeviceFacts& device) {
    sites::RecordRead(use_, model, modeIndex, device);
    SayNews();
}

void SiteRecords::RecordSequence(sites::RevisionKind kind, const exchange::SequenceOutcome& outcome,
                                 const std::optional<std::string>& after,
                                 const sites::DeviceFacts& device) {
    sites::RecordSequence(use_, kind, outcome, after, device);
    SayNews();
}

std::optional<sites::Site> SiteRecords::Customer(const std::string& accountId) {
    std::optional<sites::Site> site;
    use_.Try([&](sites::SiteRegister& reg) { site = reg.FindSite(accountId); });
    SayNews();
    return site;
}

void SiteRecords::ShowCustomer(const std::string& accountId) {
    if (!panel_) {
        return;
    }
    const std::optional<sites::Site> site = Customer(accountId);
    const QString customer = site ? CustomerText(*site) : QString();
    if (!use_.File().empty() && panel_->toolTip().isEmpty()) {
        panel_->setText(customer.isEmpty() ? FromCp1250(accountId)
                                           : FromCp1250(accountId) + " " + customer);
    }
}

void SiteRecords::Clear() {
    if (panel_ && panel_->toolTip().isEmpty()) {
        panel_->clear();
    }
}

void SiteRecords::SayNews() {
    const std::string notice = use_.TakeNotice();
    const std::string problem = use_.TakeProblem();
    const std::string said = problem.empty() ? notice : problem;
    if (said.empty() || !panel_) {
        return;
    }
    // Said once, and kept where it can be read again; the design's panels stay as they are.
    panel_->setText(problem.empty() ? "Site register: damaged file moved aside"
                                    : "Site register not used");
    panel_->setToolTip(QString::fromLocal8Bit(said.c_str()));
}

QString CustomerText(const sites::Site& site) {
    QStringList parts;
    for (const std::string* field : {&site.name, &site.address}) {
        if (!field->empty()) {
            parts << FromCp1250(*field);
        }
    }
    return parts.join(", ");
}

}  // namespace quelvar::ui
