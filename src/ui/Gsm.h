#pragma once
// The main window: device state, settings grids, tool bar, and the handlers that run the
// device sequences (connection monitor, log-in, write-back, editing, settings file).

#include <QPointer>
#include <QTimer>
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
#include "ui/GsmConnectionMonitor.h"
#include "ui/GsmControls.h"
#include "ui/GsmDocument.h"
#include "ui/GsmMoreMenu.h"
#include "ui/PendingMark.h"
#include "ui/SiteRecords.h"
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
    static constexpr int kClientWidth = MainControls::kClientWidth;
    static constexpr int kClientHeight = MainControls::kClientHeight;
    static constexpr int kFirstTick = 100;
    static constexpr int kTickInterval = 500;
    static constexpr int kMaxEventLines = MainControls::kMaxEventLines;

    explicit TFormMain(link::HidPlatform& platform, QWidget* parent = nullptr);
    ~TFormMain() override;

    void SetDialogs(TSetFrm* setFrm, TPasswdFrm* passwdFrm);
    // Where the settings-file handlers get their file names; the real dialogs by default.
    using FileNameAsk = SettingsDocument::FileNameAsk;
    void SetFileNameAsk(FileNameAsk ask) { file_.SetFileNameAsk(std::move(ask)); }

    // The controls, as the design names them; tests and the menus read and drive them here.
    MainControls& Controls() { return ui; }
    const MainControls& Controls() const { return ui; }
    int SaveToDevImage() const { return pending_.Image(); }
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
    // Writes a backup file back to the device logged in, as the write-back writes the window;
    // restoredName ("the backup of 2026-12-10 10:06 (12AB)") is said once it is verified.
    void RestoreBackup(const QString& path, const QString& named, const QString& restoredName);
    // The same for settings already read (a revision of the site register).
    void RestoreSettings(const settings::SettingsFileContent& content, const QString& named,
                         const QString& restoredName);
    // The offline view: a file's settings shown while no device is logged in.
    void ShowOfflineView(const QString& name, const settings::SettingsFileContent& content);
    // Runs a short exchange with the device logged in as a device sequence of its own; false
    // (and why, in the status bar) when none is logged in or another sequence runs.
    bool RunOnDevice(const std::function<void(exchange::DeviceSession&)>& exchanges);

    // Whether a device is logged in: the window shows its settings and writes go to it.
    bool DeviceLoggedIn() const;
    // What the window shows of the device: none, attached but not logged in, logged in.
    ConnectionState::State DeviceState() const { return monitor_.State().Now(); }
    // The file the offline view shows; empty while a device's settings are shown.
    const QString& OfflineFile() const { return document_.OfflineFile(); }

    // The site register: each sequence's revision, the customer panel.
    SiteRecords& Sites() { return sites_; }

    // The communicator the window works with: "" for the first one found, else its USB path. A
    // change closes the connection and opens one to that device, so that a log-in follows as on
    // a plug-in. False (nothing changed) while a device sequence runs.
    bool UseDevice(const std::string& path);
    const std::string& ChosenDevice() const { return chosenDevice_; }
    // The device view paused: the window's connection is closed while the provisioning line
    // works the devices, and ResumeDevice opens it again. False while a device sequence runs.
    bool PauseDevice();
    void ResumeDevice();
    link::HidPlatform& Platform() { return platform_; }

    // The model, the link and the monitor's state.
    settings::SettingsModel model{settings::SettingsModel::Setup::kLater};
    std::unique_ptr<link::ConnHIDCOM> connection;
    std::unique_ptr<exchange::DeviceExchange> exchange;
    // The acknowledgement marks as the phone numbers' ACK column shows them ("1000"); empty
    // while none are known (a file shown, a Transparent device).
    std::string ackMask() const;

    // The connection monitor's clock; tests stop it and run the ticks themselves.
    QTimer Timer1;

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
    void BindHandlers();
    // The window's connection and exchange, to the device chosen.
    void OpenConnection();
    // "2 communicators attached; this one on port 1-1.2" while more than one is attached.
    void ShowAttachedDevices();
    // The transitions the monitor runs, and the log-in with its initial read.
    void ConnectTransition();
    void DisconnectTransition();
    void LogInAgain();
    void LogIn();
    void InitialRead(exchange::DeviceSession& session);
    // Once the initial read has the parameters and the mode: the device's view is shown.
    void ShowDeviceSettings(int modeIndex);
    // Settings files: the load into a device (or the offline view), the save.
    void OpenNamedFile(const QString& name);
    // Selects a loaded file's mode and records the load as one step of the history.
    void ShowLoadedMode(int modeIndex, const QString& step);
    // After an edit, an undo or a load: the pending mark and the offline file's state follow.
    void MarkEdited();
    void InstallEditHistory();
    // The backup a sequence takes before it overwrites the device; when it cannot be saved, the
    // sequence asks "Write without a backup?".
    exchange::BackupRequest BackupAsking(settings::BackupStore& store);
    // How a write or a load ended, in the status bar and the differences it found.
    void ReportOutcome(const exchange::SequenceOutcome& outcome);

    // The controls; the monitor and the More menu work on them.
    MainControls ui;
    link::HidPlatform& platform_;
    QPointer<TSetFrm> setFrm_;
    QPointer<TPasswdFrm> passwdFrm_;
    bool shown_ = false;
    bool sequenceRunning_ = false;
    ConnectionMonitor monitor_;
    MoreMenu more_{*this, ui, file_, pending_, lastVerify_};
    // What the grids hold as a document.
    WindowDocument document_;
    // The mode the layout shows; a click on the item already selected changes nothing.
    int shownMode_ = 0;
    // What the running sequence is doing ("Writing..."), shown between its commands.
    QString sequenceStatus_;
    // What the device (offline: the file) holds, for the pending mark and the next backup.
    PendingMark pending_{
        model, document_, {[this] { return ui.OpModeIndex(); }, [this] { return ackMask(); }}};
    // The grids as a file: its name, saving it, the questions that keep edits.
    SettingsDocument file_{*this, model, ui, document_, pending_, Timer1};
    // Whether the ACK column shows the device's marks.
    bool ackMarksKnown_ = false;
    exchange::VerifyResult lastVerify_;
    // The backup a restore writes ("the backup of 2026-12-10 10:06 (12AB)"); empty otherwise.
    QString restoring_;
    SiteRecords sites_;
    std::string chosenDevice_;
    int ticksSinceDeviceList_ = 0;
};

// A session on the window's exchange: the progress bar follows its memory transfers, it ends
// after the silence limit, and a device other than the one pinned (a replug) stops it.
exchange::DeviceSession WindowSession(exchange::DeviceExchange& exchange,
                                      link::ConnHIDCOM& connection, QProgressBar* bar);

// A warning with plain text, titled with the program's caption.
void ShowWarning(QWidget* parent, const QString& text);

// Marks a device sequence as running for its scope; a second one does not start meanwhile.
class SequenceGuard {
  public:
    explicit SequenceGuard(TFormMain& form) : form_(form), owns_(!form.sequenceRunning_) {
        form_.sequenceRunning_ = true;
    }
    // However the sequence ended: nothing stays pinned, the pending mark says what it left, and
    // a transition it held back catches up.
    ~SequenceGuard();
    SequenceGuard(const SequenceGuard&) = delete;
    SequenceGuard& operator=(const SequenceGuard&) = delete;
    // False when another sequence was already running: the caller starts nothing.
    bool Started() const { return owns_; }

  private:
    TFormMain& form_;
    bool owns_;
};

}  // namespace quelvar::ui
