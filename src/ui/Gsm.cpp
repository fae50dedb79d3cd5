#include "ui/Gsm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>

#include "settings/AlarmTableImage.h"
#include "settings/ContactId.h"
#include "ui/ClippedCellTips.h"
#include "ui/ComboSet.h"
#include "ui/ContactIdText.h"
#include "ui/EditHistory.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"
#include "ui/ReconnectPanel.h"

namespace quelvar::ui {

using settings::TableId;

namespace {

// The exchange's hooks for its whole life: status panel 2, the monitor's clock, the messages.
exchange::ExchangeHooks WindowHooks(MainControls& ui, QTimer& clock,
                                    const QString& sequenceStatus) {
    exchange::ExchangeHooks hooks;
    // Between two commands the running sequence's own text shows again.
    hooks.writeStatus = [&ui, &sequenceStatus](const std::string& text) {
        ui.SetStatusText(2, text.empty() ? sequenceStatus : FromCp1250(text));
    };
    hooks.timerEnabled = [&clock] { return clock.isActive(); };
    hooks.setTimerEnabled = [&clock](bool enabled) {
        if (enabled && !clock.isActive()) {
            clock.start();
        } else if (!enabled) {
            clock.stop();
        }
    };
    hooks.processMessages = [] { QCoreApplication::processEvents(); };
    return hooks;
}

}  // namespace

exchange::DeviceSession WindowSession(exchange::DeviceExchange& exchange,
                                      link::ConnHIDCOM& connection, QProgressBar* bar) {
    exchange::DeviceSession::Progress progress;
    // The progress bar follows the memory transfers, block by block.
    progress.transfer = [bar](int position, int maximum) {
        bar->setMaximum(maximum);
        bar->setValue(position);
    };
    // A sequence held to the device logged in ends once another one was plugged in (one pulled
    // ends it as detached).
    auto replugged = [&connection] {
        const std::uint64_t pinned = connection.PinnedAttachment();
        const std::uint64_t now = pinned != 0 ? connection.Attachment() : 0;
        return now != 0 && now != pinned;
    };
    return exchange::DeviceSession(exchange, std::move(progress), exchange::kSilenceLimit,
                                   replugged);
}

TFormMain::TFormMain(link::HidPlatform& platform, QWidget* parent)
    : QWidget(parent),
      platform_(platform),
      monitor_(connection, ui, this,
               {[this] { ConnectTransition(); }, [this] { DisconnectTransition(); },
                [this] { return sequenceRunning_ || QApplication::activeModalWidget() != nullptr; },
                [this] { Timer1Timer(); }}) {
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui.Build(*this, model);
    BindHandlers();
    InstallEditHistory();
    ui.Name();
    sites_.SetPanel(ui.sbCustomer);
    QCoreApplication::instance()->installEventFilter(this);
    Timer1.setInterval(kFirstTick);
    Timer1.start();
}

// The grid views watch the model's grids, which are members and go before the base class
// deletes its children: so the views go first. The connection stops its receiver thread as it
// goes; nothing else is left running.
TFormMain::~TFormMain() {
    delete ui.ScrollBox1;
    // The dialogs belong to whoever made them.
    for (QDialog* dialog : {static_cast<QDialog*>(setFrm_), static_cast<QDialog*>(passwdFrm_)}) {
        if (dialog != nullptr) {
            dialog->setParent(nullptr);
        }
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType()) {
        return false;
    }
    // A closing dialog lets the monitor catch up with a device that came or went meanwhile.
    if (event->type() == QEvent::Hide && monitor_.State().Held() &&
        static_cast<QWidget*>(watched)->isModal()) {
        monitor_.CatchUpSoon();
    }
    if (!sequenceRunning_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            // Dialogs the sequence opens are windows of their own and keep their input.
            return static_cast<QWidget*>(watched)->window() == this;
        default:
            return false;
    }
}

void TFormMain::SetDialogs(TSetFrm* setFrm, TPasswdFrm* passwdFrm) {
    setFrm_ = setFrm;
    passwdFrm_ = passwdFrm;
    // Modal to this window only: the simulated communicator's window stays usable meanwhile.
    for (QDialog* dialog : {static_cast<QDialog*>(setFrm), static_cast<QDialog*>(passwdFrm)}) {
        if (dialog != nullptr) {
            dialog->setParent(this, dialog->windowFlags());
            dialog->setWindowModality(Qt::WindowModal);
        }
    }
}

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shown_) {
        shown_ = true;
        const QRect desktop = screen()->availableGeometry();
        move(desktop.center() - QRect(QPoint(), frameGeometry().size()).center());
        FormShow();
    }
}

void TFormMain::FormShow() {
    OpenConnection();
    ui.SetCaptions();
    model.SetUp();
}

void TFormMain::OpenConnection() {
    connection = std::make_unique<link::ConnHIDCOM>(platform_, chosenDevice_);
    connection->SetMessagePump([] { QCoreApplication::processEvents(); });
    connection->KeepStatusRecords();  // for the device log
    exchange = std::make_unique<exchange::DeviceExchange>(*connection,
                                                          WindowHooks(ui, Timer1, sequenceStatus_));
    connection->Open();
}

void TFormMain::BindHandlers() {
    connect(&Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);
    connect(ui.tbtnOpen, &QToolButton::clicked, this, &TFormMain::tbtnOpenClick);
    connect(ui.tbtnSave, &QToolButton::clicked, this, &TFormMain::tbtnSaveClick);
    connect(ui.btnSaveToDev, &QToolButton::clicked, this, &TFormMain::btnSaveToDevClick);
    connect(ui.ToolButton1, &QToolButton::clicked, this, &TFormMain::ToolButton1Click);
    connect(ui.rgOpModeItems, &QButtonGroup::idClicked, this, &TFormMain::rgOpModeClick);
    more_.Bind();
    for (StringGridView* grid : ui.Grids()) {
        ShowClippedTextAsToolTip(grid);
    }
    // What a Contact ID code and its qualifier mean, in their cells' tool tips.
    ui.sgeAlarmList->Model().SetCellTip([](const std::string& value, int col, int) {
        if (col == settings::kAlarmCodeColumn) {
            return CodeMeaning(value);
        }
        return col == settings::kAlarmQualifierColumn ? QString(settings::kQualifierMeaning)
                                                      : QString();
    });
    ui.sgeInEvSetCID->Model().SetCellTip([this](const std::string& value, int col, int row) {
        const std::string key = model.Rule(settings::TableId::kMonitoring)
                                    .GetKey(ui.sgeInEvSetCID->Model().Grid().Cell(0, row));
        return col == 1 && (key == "Z1CID" || key == "Z2CID") ? CodeMeaning(value) : QString();
    });
    for (StringGridView* grid :
         {ui.sgGPRSConnection, ui.sgSMSFW, ui.sgIN1, ui.sgIN2, ui.sgPhnrs, ui.sgeInEvSetCID}) {
        connect(grid, &StringGridView::cellClicked, this, &TFormMain::sgClick);
        connect(grid, &StringGridView::keyActivated, this, &TFormMain::sgClick);
    }
    connect(ui.sgeAlarmList, &StringGridView::keyActivated, this,
            [this](StringGridView* grid) { sgeAlarmListMouseUp(grid, Qt::LeftButton); });
    connect(ui.sgeInEvSet, &StringGridView::keyActivated, this,
            [this](StringGridView* grid) { sgeInEvSetMouseUp(grid, Qt::LeftButton); });
    for (StringGridView* grid : {ui.sgGPRSConnection, ui.sgSMSFW, ui.sgPhnrs, ui.sgeInEvSetCID}) {
        connect(grid, &StringGridView::keyReleased, this, &TFormMain::sgGPRSConnectionKeyUp);
    }
    connect(ui.sgeAlarmList, &StringGridView::mouseReleased, this, &TFormMain::sgeAlarmListMouseUp);
    connect(ui.sgeInEvSet, &StringGridView::mouseReleased, this, &TFormMain::sgeInEvSetMouseUp);
    connect(ui.actLogInAgain, &QAction::triggered, this, &TFormMain::LogInAgain);
    connect(ui.pnlNoSettings, &ReconnectPanel::logInClicked, this, &TFormMain::LogInAgain);
    connect(ui.pnlNoSettings, &ReconnectPanel::openFileClicked, this, &TFormMain::tbtnOpenClick);
    // A mode chosen in the offline view changes what the file would hold.
    connect(ui.rgOpModeItems, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            document_.Edited();
        }
    });
    // Window-wide, so that Open works while the tool bar is hidden after a disconnect.
    auto* open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, this, &TFormMain::tbtnOpenClick);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] {
        if (ui.gbMset->isVisible()) {
            tbtnSaveClick();
        }
    });
}

}  // namespace quelvar::ui
