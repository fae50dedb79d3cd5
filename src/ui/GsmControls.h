#pragma once
// The main window's controls, held together as a generated form holds its own: built, named and
// laid out here, with the few calls that only show things on them. Handlers stay the window's.

#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <string>

#include "settings/Catalogue.h"
#include "settings/SettingsCheck.h"
#include "ui/StringGridView.h"

namespace quelvar::ui {

class DeviceLog;
class DeviceLogWindow;
class EditHistory;
class ReconnectPanel;

struct MainControls {
    static constexpr int kClientWidth = 988;
    static constexpr int kClientHeight = 524;
    static constexpr int kMaxEventLines = 19;

    // The controls on the form, the menu of the More button and the progress bar. The grids
    // show the model's grids, which must outlive them.
    void Build(QWidget& form, settings::SettingsModel& model);
    // Tests and accessibility tools find the controls by these names.
    void Name();
    void SetCaptions();
    void LayOutMode(bool standalone);

    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    // The device's live status texts (input 1, input 2, SIM, signal, line) and an event line.
    void ShowStatus(const std::array<std::string, 5>& texts, const std::string& event);
    // A device's last report says nothing once it is gone.
    void ShowNoStatus();
    int OpModeIndex() const { return rgOpModeButtons[1]->isChecked() ? 1 : 0; }
    void SelectOpMode(int index) { rgOpModeButtons[index == 1 ? 1 : 0]->setChecked(true); }
    // What the last sequence said goes once something else happened; what a cut sequence left
    // on the device ("The device ...") stays said until something else is.
    void ClearLastResult();
    // The write-back button's image: the pending mark (kPendingImage) or not.
    void ShowPendingMark(int image) { btnSaveToDev->setIcon(ToolImages[image]); }
    // Write-back and password change only work on a device logged in.
    void SetDeviceToolsEnabled(bool enabled);
    // The eight settings grids, in the window's order.
    std::array<StringGridView*, 8> Grids() const;
    StringGridView* ViewOf(const settings::StringGrid& grid) const;
    // The caption of the group a setting is shown in, as the window shows it.
    QString GroupCaptionOf(const settings::SettingPlace& place,
                           const settings::SettingsModel& model) const;

    // Controls, named as the design names them; each carries its name as its object name.
    QScrollArea* ScrollBox1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton* tbtnOpen = nullptr;
    QToolButton* tbtnSave = nullptr;
    QToolButton* btnSaveToDev = nullptr;
    QToolButton* ToolButton1 = nullptr;
    QToolButton* btnMore = nullptr;
    QMenu* mnuMore = nullptr;
    QAction* actCompare = nullptr;
    QAction* actShowDifferences = nullptr;
    QAction* actDeviceLog = nullptr;
    QAction* actPrintSettings = nullptr;
    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    QAction* actBackups = nullptr;
    QAction* actSites = nullptr;
    QAction* actChooseDevice = nullptr;
    QAction* actProvision = nullptr;
    QAction* actLogInAgain = nullptr;
    QMenu* mnuRecent = nullptr;
    // Stands in the settings' place while none are shown: Open, and Log in when it can.
    ReconnectPanel* pnlNoSettings = nullptr;
    // The grids' edits, for undo and redo; a log-in starts a new history.
    EditHistory* history = nullptr;
    // What the monitor heard since the start; the log window, once opened, shows it.
    DeviceLog* deviceLog = nullptr;
    DeviceLogWindow* deviceLogWindow = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* stPIN = nullptr;
    QLabel* stGSM = nullptr;
    QLabel* stLINE = nullptr;
    QLabel* stINPUT1 = nullptr;
    QLabel* stINPUT2 = nullptr;
    QLabel* Label11 = nullptr;
    QListWidget* lbEvents = nullptr;
    QGroupBox* gbMset = nullptr;
    QGroupBox* rgOpMode = nullptr;
    QButtonGroup* rgOpModeItems = nullptr;
    std::array<QRadioButton*, 2> rgOpModeButtons{};
    QGroupBox* GroupBox2 = nullptr;
    StringGridView* sgGPRSConnection = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    StringGridView* sgSMSFW = nullptr;
    QGroupBox* gbIN1 = nullptr;
    StringGridView* sgIN1 = nullptr;
    QGroupBox* GroupBox7 = nullptr;
    StringGridView* sgIN2 = nullptr;
    QGroupBox* gbPhnrs1 = nullptr;
    StringGridView* sgPhnrs = nullptr;
    QGroupBox* gbExtevents = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    StringGridView* sgeAlarmList = nullptr;
    QGroupBox* gbIntevents = nullptr;
    StringGridView* sgeInEvSet = nullptr;
    QGroupBox* gbMonParams = nullptr;
    StringGridView* sgeInEvSetCID = nullptr;
    QStatusBar* sb1 = nullptr;
    std::array<QLabel*, 3> sb1Panels{};
    QLabel* sbCustomer = nullptr;
    QLabel* sbDevices = nullptr;
    QProgressBar* pb1 = nullptr;
    std::array<QIcon, 5> ToolImages;

  private:
    void BuildToolBar(QWidget* content);
    void BuildMoreMenu();
    void BuildStatusPanel(const QFont& plain);
    void BuildSettingsGroups(QWidget& form, settings::SettingsModel& model);
    void BuildStatusBar(QWidget& form);
};

}  // namespace quelvar::ui
