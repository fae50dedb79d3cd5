#pragma once
// The main window: device state, settings grids, tool bar, and the handlers that run the
// device sequences (connection monitor, log-in, write-back, editing, settings file).

#include <QButtonGroup>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "exchange/DeviceExchange.h"
#include "exchange/DeviceSession.h"
#include "exchange/Sequences.h"
#include "exchange/SettingsLoad.h"
#include "link/ConnHIDCOM.h"
#include "settings/Catalogue.h"
#include "settings/HeldSettings.h"
#include "settings/SettingsCheck.h"
#include "ui/ConnectionState.h"
#include "ui/StringGridView.h"
#include "ui/WindowDocument.h"

namespace quelvar::ui {

class TSetFrm;
class TPasswdFrm;
class DeviceLog;
class DeviceLogWindow;
class EditHistory;
class ReconnectPanel;

inline constexpr const char* kCaption = "Quelvar GSM";
inline constexpr const char* kUsbConnected = "USB: Connected";
inline constexpr const char* kUsbDisconnected = "USB: Disconnected";
inline constexpr const char* kFirmwareVersion = "Firmware version ";
inline constexpr const char* kReplugged = "The device was replugged; it is being read again";
inline constexpr const char* kNotLoggedIn =
    "Not logged in: reconnect the device to enter its password";
inline constexpr const char* kNotConnected = "The device is not connected; nothing was sent";
inline constexpr const char* kShownNoDevice =
    "Loaded into the window; no device connected, nothing was sent";
inline constexpr const char* kShownNotLoggedIn =
    "Loaded into the window; the device is not logged in (replug it to log in), nothing was sent";
inline constexpr const char* kLogInCancelled =
    "Password not given: nothing was read. Replug the device to log in, or open a settings file";
inline constexpr const char* kPasswordUnreadable =
    "The device's password is unreadable: reset the device";
inline constexpr const char* kPasswordOutOfReach =
    "The device's password cannot be entered here: reset the device";
inline constexpr const char* kWrongPassword = "Wrong password. Enter password:";
inline constexpr const char* kPasswordsDiffer = "Password not changed: the two entries differ";
inline constexpr const char* kWriting = "Writing...";
inline constexpr const char* kNoDeviceTip = "No device connected";
inline constexpr const char* kWriteAllTip = "Write all settings to the device";
inline constexpr const char* kOpenTip = "Open settings file";
inline constexpr const char* kOpenIntoDeviceTip = "Open a settings file and write it to the device";
inline constexpr const char* kChangePasswordTip = "Change the device password";
inline constexpr const char* kNoPermission =
    "No permission to open the communicator: install the udev rule (see README), then replug it";

class TFormMain : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 988;
    static constexpr int kClientHeight = 524;
    static constexpr int kFirstTick = 100;
    static constexpr int kTickInterval = 500;
    static constexpr int kMaxEventLines = 19;

    explicit TFormMain(link::HidPlatform& platform, QWidget* parent = nullptr);
    ~TFormMain() override;

    void SetDialogs(TSetFrm* setFrm, TPasswdFrm* passwdFrm);
    // Where the settings-file handlers get their file names; the real dialogs by default.
    using FileNameAsk = std::function<QString(bool forSaving)>;
    void SetFileNameAsk(FileNameAsk ask) { askFileName_ = std::move(ask); }

    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;
    int SaveToDevImage() const { return document_.SaveToDevImage(); }
    bool SequenceRunning() const { return sequenceRunning_; }

    // Handlers.
    void FormShow();
    void Timer1Timer();
    void btnSaveToDevClick();
    void ToolButton1Click();
    void rgOpModeClick();
    enum class Mode { kStandalone, kTransparent };
    void ApplyModeLayout(Mode mode);
    void tbtnSaveClick();
    void tbtnOpenClick();
    void sgClick(StringGridView* grid);
    void sgGPRSConnectionKeyUp(StringGridView* grid, int key);
    void sgeAlarmListMouseUp(StringGridView* grid, Qt::MouseButton button);
    void sgeInEvSetMouseUp(StringGridView* grid, Qt::MouseButton button);
    // Open's whole path for a named file (also for the command line and "Load this file"): with
    // a device logged in it applies the file, without one it shows it in the offline view.
    void OpenSettingsFile(const QString& name);
    // The "More" menu's items.
    void CompareWithFile();
    void ShowDifferences();
    void ShowDeviceLog();
    void PrintSettings();
    // Compare with a named file (the backups' Open while a device is logged in).
    void CompareWithNamedFile(const QString& name);
    // More > Backups...: the backups newest first; Open shows one, Restore writes it back.
    void ShowBackups();
    // Whether a device is logged in: the window shows its settings and writes go to it.
    bool DeviceLoggedIn() const;
    // What the window shows of the device: none, attached but not logged in, logged in.
    ConnectionState::State DeviceState() const { return deviceState_.Now(); }
    // The file the offline view shows; empty while a device's settings are shown.
    const QString& OfflineFile() const { return document_.OfflineFile(); }
    void EditAlarmCell(StringGridView* grid);
    void EditInputEventCell(StringGridView* grid);
    int OpenEventCellEditor(StringGridView* grid, const std::string& rule, bool upperCase,
                            int exactLength, int maxLength);

    // The model, the link and the monitor's state.
    settings::SettingsModel model{settings::SettingsModel::Setup::kLater};
    std::unique_ptr<link::ConnHIDCOM> connection;
    std::unique_ptr<exchange::DeviceExchange> exchange;
    std::string ackMask;

    // The connection monitor's clock; tests stop it and run the ticks themselves.
    QTimer Timer1;
    // What the monitor heard since the start (the device log window shows it).
    const DeviceLog& HeardLog() const { return *deviceLog; }

    // Which item of the mode selection is selected: 0 Standalone, 1 Transparent.
    int OpModeIndex() const;
    void SelectOpMode(int index);
    void SetSaveToDevImage(int index);
    // True while the attached device is the one the last log-in accepted; until the running
    // sequence ends, nothing then reaches a device plugged in meanwhile. Otherwise shows in
    // status panel 2 why nothing may be sent (and has a replugged device read again).
    bool LoggedInDevice();

  signals:
    // After every tick of the connection monitor, for tests and benchmarks.
    void ticked();
    // A device sequence (log-in, write-back, an edit sent, ...) has ended, however it ended.
    void sequenceEnded();

  protected:
    void showEvent(QShowEvent* event) override;
    // While edits wait to be written, closing asks first.
    void closeEvent(QCloseEvent* event) override;
    // While a device sequence runs, the window takes no input (it keeps repainting).
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class SequenceGuard;
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
    QProgressBar* pb1 = nullptr;
    std::array<QIcon, 5> ToolImages;

    void BuildControls();
    void NameControls();
    void BuildStatusPanel();
    void BuildSettingsGroups();
    void BindHandlers();
    void BuildMoreButton();
    void BindViewHandlers();
    void SetCaptions();
    void UpdateStatus(const std::array<std::string, 5>& texts, const std::string& event);
    void ShowPermissionProblem(bool denied);
    void RunDueTransitions();
    // A modal dialog or a device sequence holds the transitions back.
    bool TransitionsHeld() const;
    // A zero-delay tick once nothing holds the transitions any more.
    void CatchUpSoon();
    void SequenceEnded();
    void ConnectTransition();
    void AddLogInAgain();
    void FillRecentFiles();
    void RememberRecentFile(const QString& name);
    void LogInAgain();
    bool LogInPossible() const;
    void DisconnectTransition();
    void ShowNoStatus();
    bool SameAttachmentAsConnected() const;
    void LogIn();
    void InitialRead(exchange::DeviceSession& session);
    // Once the initial read has the parameters and the mode: the device's view is shown.
    void ShowDeviceSettings(int modeIndex);
    // The mode's layout alone; ApplyModeLayout also reads the device's acknowledgement marks.
    void LayOutMode(Mode mode);
    // What ended a session early and what the device holds: "The device stopped answering
    // while writing the alarm table: it holds a partial configuration".
    QString SessionFaultText(const exchange::DeviceSession& session,
                             const QString& deviceHolds) const;
    void PauseProcessingMessages(int ms);
    StringGridView* ViewOf(const settings::StringGrid& grid) const;
    settings::TTableRule* TableOf(StringGridView* grid);
    QString HintOf(StringGridView* grid) const;
    void PlaceEditor(QWidget* editor, StringGridView* grid);
    // Moves the dialog to the place, or as near as it fits wholly on the window's screen.
    void KeepOnScreen(QWidget* dialog, QPoint place);
    void PlacePasswordDialog();
    void ReportLoad(const QString& file, const exchange::SettingsLoadResult& loaded,
                    const exchange::DeviceSession& session);
    // Selects a loaded file's mode and records the load as one step of the history.
    void ShowLoadedMode(int modeIndex, const QString& step);
    bool NoDeviceAttached() const;
    QString GroupCaptionOf(const settings::SettingPlace& place) const;
    QString AskFileName(bool forSaving);
    QString OfferedFileName() const;
    void ShowError(const QString& text);
    void OpenNamedFile(const QString& name);
    bool SaveSettingsTo(const QString& name);
    bool SaveUntilSavedOrCancelled(QString name);
    // The offline view: a file's settings shown while no device is logged in.
    void ShowOfflineView(const QString& name, const settings::SettingsFileContent& content);
    // The window shows a logged-in device's settings from now on.
    void ShowDeviceView();
    void SetDeviceToolsEnabled(bool enabled);
    void AskToSaveOfflineEdits();
    void OfferSaveBeforeDisconnect();
    // Whether the window may close: asks when settings would be lost.
    bool ConfirmClose();
    // What the device (in the offline view: the file) holds now, as last read, written, loaded
    // or saved. A mode shown that differs marks the button; closing counts the differences.
    void RememberHeld(int modeIndex);
    int DifferingFromHeld() const;
    void MarkIfModeDiffersFromHeld();
    void MarkEdited();
    void ClearMarkIfNothingDiffers();
    void ClearLastResult();
    std::string HeldAccountId() const;
    // Backups and undo (GsmBackup.cpp, GsmUndo.cpp).
    void InstallEditHistory();
    // The acknowledgement marks as the phone numbers' ACK column shows them: "1000".
    std::string AckMaskShown() const;
    // After the initial read: what the device holds, for the next backup.
    void DeviceSettingsRead(bool complete);
    // The backup a sequence takes before it overwrites the device; when it cannot be saved, the
    // sequence asks "Write without a backup?".
    exchange::BackupRequest BackupAsking(settings::BackupStore& store);
    void RestoreBackup(const QString& path, const QString& named);
    void ReportWrite(const exchange::SequenceOutcome& outcome);
    exchange::ExchangeHooks MakeHooks();

    link::HidPlatform& platform_;
    QPointer<TSetFrm> setFrm_;
    QPointer<TPasswdFrm> passwdFrm_;
    FileNameAsk askFileName_;
    bool shown_ = false;
    bool sequenceRunning_ = false;
    bool permissionShown_ = false;
    // The device as the window follows it, and what the grids hold as a document.
    ConnectionState deviceState_;
    WindowDocument document_;
    // The mode the layout shows; a click on the item already selected changes nothing.
    int shownMode_ = 0;
    // What the running sequence is doing ("Writing..."), shown between its commands.
    QString sequenceStatus_;
    // The file last opened or saved: the save dialog offers its name.
    QString currentFile_;
    // What the device (offline: the file) holds, for the pending mark and the next backup.
    settings::HeldSettings held_;
    // The verify after the last write-back: what the device holds against the grids.
    exchange::VerifyResult lastVerify_;
    // The local time ("10:06") of the backup the running sequence took; empty without one.
    QString lastBackupTime_;
    // The backup a restore writes ("the backup of 2026-12-10 10:06 (12AB)"); empty otherwise.
    QString restoring_;
};

// Marks a device sequence as running for its scope; a second one does not start meanwhile.
class SequenceGuard {
  public:
    explicit SequenceGuard(TFormMain& form) : form_(form), owns_(!form.sequenceRunning_) {
        form_.sequenceRunning_ = true;
    }
    ~SequenceGuard() {
        if (owns_) {
            form_.sequenceRunning_ = false;
            form_.SequenceEnded();
        }
    }
    SequenceGuard(const SequenceGuard&) = delete;
    SequenceGuard& operator=(const SequenceGuard&) = delete;
    // False when another sequence was already running: the caller starts nothing.
    bool Started() const { return owns_; }

  private:
    TFormMain& form_;
    bool owns_;
};

}  // namespace quelvar::ui
