#pragma once
// The More button's items: comparing the window with a settings file, the differences the last
// verify found, the device log, the settings report, the recent files and the backups. Each
// works through the window's own calls, as a user's click would.

#include <QObject>
#include <QString>

#include <string>

#include "exchange/DeviceSession.h"
#include "register/SiteRegister.h"

namespace quelvar::ui {

class TFormMain;
class PendingMark;
class SettingsDocument;
struct MainControls;

class MoreMenu : public QObject {
  public:
    // What the device holds and the last verify found are the window's, read when asked.
    MoreMenu(TFormMain& form, MainControls& ui, SettingsDocument& file, const PendingMark& pending,
             const exchange::VerifyResult& lastVerify);
    // Connects the menu's items; the controls must have been built.
    void Bind();

    void CompareWithFile();
    // Compare with a named file (the backups' Open while a device is logged in).
    void CompareWithNamedFile(const QString& name);
    void ShowDifferences();
    void ShowDeviceLog();
    void PrintSettings();
    // The backups newest first; Open shows one, Restore writes it back.
    void ShowBackups();
    // The site register's sites and their histories; Open, Compare or Restore revisions.
    void ShowSites();
    // The communicators attached; the one chosen is the window's from then on.
    void ChooseDevice();
    // The provisioning line, with the window's own device view paused while it is open.
    void ProvisionDevices();

  private:
    void FillRecentFiles();
    void CompareRevisions(const sites::Revision& newer, const sites::Revision& older);
    void RestoreRevision(const sites::Revision& revision);

    TFormMain& form_;
    MainControls& ui_;
    SettingsDocument& file_;
    const PendingMark& pending_;
    const exchange::VerifyResult& lastVerify_;
};

// "account ID 12AB, firmware 2.14".
QString Owner(const std::string& accountId, const std::string& firmware);
// A yes-or-no question whose default, and Escape, is No.
bool AskYesNoFirstNo(QWidget* parent, const QString& text);

// Adds a settings file to the recent files; a list that cannot be kept costs only the
// convenience, so nothing is reported.
void RememberRecentFile(const QString& name);

}  // namespace quelvar::ui
