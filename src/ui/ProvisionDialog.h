#pragma once
// More > Provision devices...: the provisioning line in the window. The template, the values
// file and the record file; a row per device (port, firmware, account ID, stage with its
// progress, outcome in green or red); Start and Stop. Every communicator plugged in while the
// line runs is provisioned; the main window's own device view is paused meanwhile (its caller's
// part).

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "exchange/ProvisioningLine.h"
#include "link/HidPlatform.h"
#include "register/RegisterUse.h"

namespace quelvar::ui {

inline constexpr const char* kProvisionTitle = "Provision devices";

class ProvisionDialog : public QDialog {
    Q_OBJECT
  public:
    enum Column { kPort, kFirmware, kAccount, kStage, kOutcome, kColumns };

    ProvisionDialog(link::HidPlatform& platform, sites::RegisterUse& sites, QWidget* parent);
    // A line still running is stopped and waited for.
    ~ProvisionDialog() override;

    bool Running() const { return line_ != nullptr; }

    QLineEdit* edTemplate = nullptr;
    QLineEdit* edValues = nullptr;
    QLineEdit* edRecord = nullptr;
    QLineEdit* edPassword = nullptr;     // the devices' password, if they have one
    QLineEdit* edNewPassword = nullptr;  // set on each once verified; empty: none
    QPushButton* btnTemplate = nullptr;
    QPushButton* btnValues = nullptr;
    QPushButton* btnRecord = nullptr;
    QTableWidget* tblDevices = nullptr;
    QLabel* lbLine = nullptr;  // waiting, the counts, or why the line did not start
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnClose = nullptr;
    // Each look at the communicators attached.
    QTimer clock;

  signals:
    // The line has ended (all devices done, or stopped): for tests.
    void lineEnded();

  protected:
    void reject() override;

  private:
    void Start();
    void Stop();
    void Step();
    // Why the line cannot start ("" when it can), with its options filled in.
    QString Prepare(std::optional<exchange::ProvisioningLine::Options>& prepared);
    int RowOf(std::size_t number);
    void ShowStarted(const exchange::LineDevice& device);
    void ShowProgress(std::size_t number, const QString& stage, int percent);
    void ShowEnded(const exchange::LineDevice& device, const exchange::LineResult& result);
    void ShowCounts(bool ended);

    link::HidPlatform& platform_;
    sites::RegisterUse& sites_;
    std::atomic<bool> stopRequested_{false};
    std::ofstream record_;
    std::map<std::size_t, int> rows_;  // by the line's device number
    std::unique_ptr<exchange::ProvisioningLine> line_;
};

}  // namespace quelvar::ui
