#pragma once
// The site register as the window uses it: a revision for each device sequence, the customer of
// the account logged in in a status panel of its own, and what went wrong with the register said
// there once (the window goes on without it).

#include <QLabel>
#include <QPointer>
#include <QString>
#include <optional>
#include <string>

#include "exchange/Sequences.h"
#include "link/ConnHIDCOM.h"
#include "register/RegisterUse.h"
#include "register/SequenceRevision.h"
#include "settings/HeldSettings.h"

namespace quelvar::ui {

class SiteRecords {
  public:
    // The register in the data folder, opened now: before any backup is taken, so that a new
    // register takes in only the backups there were.
    SiteRecords();
    void SetPanel(QLabel* panel) { panel_ = panel; }

    sites::RegisterUse& Use() { return use_; }
    // The device as a revision names it: its USB path, firmware and account ID as held.
    static sites::DeviceFacts Facts(const link::ConnHIDCOM* connection,
                                    const settings::HeldSettings& held);

    void RecordRead(const settings::SettingsModel& model, int modeIndex,
                    const sites::DeviceFacts& device);
    // A write-back, restore, load or password change.
    void RecordSequence(sites::RevisionKind kind, const exchange::SequenceOutcome& outcome,
                        const std::optional<std::string>& after, const sites::DeviceFacts& device);

    // The panel names the account's customer ("12AB Kovács Bt., Budapest"); only the account
    // ID when the register knows no customer.
    void ShowCustomer(const std::string& accountId);
    void Clear();
    // The customer's site, when the register knows one.
    std::optional<sites::Site> Customer(const std::string& accountId);

  private:
    void SayNews();

    sites::RegisterUse use_;
    QPointer<QLabel> panel_;
};

// "Kovács Bt., Budapest": the name and the address that are filled in.
QString CustomerText(const sites::Site& site);

}  // namespace quelvar::ui
