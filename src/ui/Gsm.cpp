#include "ui/Gsm.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QScreen>
#include <QShowEvent>
#include <QThread>

#include "ui/ClippedCellTips.h"
#include "ui/ComboSet.h"
#include "ui/EditHistory.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"

namespace quelvar::ui {

using settings::TableId;

TFormMain::TFormMain(link::HidPlatform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform) {
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    BuildControls();
    BindHandlers();
    InstallEditHistory();
    AddLogInAgain();
    NameControls();
    QCoreApplication::instance()->installEventFilter(this);
    Timer1.setInterval(kFirstTick);
    Timer1.start();
}

// The grid views watch the model's grids, which are members and go before the base class
// deletes its children: so the views go first. The connection stops its receiver thread as it
// goes; nothing else is left running.
TFormMain::~TFormMain() {
    delete ScrollBox1;
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
    if (event->type() == QEvent::Hide && deviceState_.Held() &&
        static_cast<QWidget*>(watched)->isModal()) {
        CatchUpSoon();
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
    connection = std::make_unique<link::ConnHIDCOM>(platform_);
    connection->SetMessagePump([] { QCoreApplication::processEvents(); });
    connection->KeepStatusRecords();  // for the device log
    exchange = std::make_unique<exchange::DeviceExchange>(*connection, MakeHooks());
    connection->Open();
    SetCaptions();
    model.SetUp();
}

void TFormMain::SetCaptions() {
    GroupBox6->setTitle(QStringLiteral("Modul állapota"));
    Label1->setText(QStringLiteral("SIM státusz"));
    Label10->setText(QStringLiteral("Antenna jel (0-31)"));
    Label5->setText(QStringLiteral("TIP/RING vonal"));
    Label8->setText(QStringLiteral("Z1 bemenet"));
    Label9->setText(QStringLiteral("Z2 bemenet"));
    Label11->setText(QStringLiteral("Események"));
    gbMset->setTitle(QStringLiteral("Beállítások"));
    // The captions the settings report prints too come from the catalogue.
    auto caption = [](std::string_view cp1250) { return FromCp1250(std::string(cp1250)); };
    rgOpMode->setTitle(caption(settings::kModeGroupCaption));
    rgOpModeButtons[0]->setText(caption(settings::kModeCaptions[0]));
    rgOpModeButtons[1]->setText(caption(settings::kModeCaptions[1]));
    using settings::TableId;
    const std::pair<QGroupBox*, TableId> groups[] = {
        {GroupBox2, TableId::kSimCard},     {GroupBox3, TableId::kSmsForwarding},
        {gbIN1, TableId::kZ1Settings},      {GroupBox7, TableId::kZ2Settings},
        {gbPhnrs1, TableId::kPhoneNumbers}, {gbMonParams, TableId::kMonitoring}};
    for (const auto& [box, id] : groups) {
        box->setTitle(caption(settings::GroupCaption(id)));
    }
    gbIntevents->setTitle(caption(settings::kInputGridCaption));
    gbExtevents->setTitle(QString());
    Label2->setText(caption(settings::kAlarmGridCaption));
    Label3->setText(QStringLiteral("átjelzése az értesítési listában szereplő telefonszámokra"));
    for (QLabel* label : {Label1, Label10, Label5, Label8, Label9, Label11, Label2, Label3}) {
        label->adjustSize();
    }
}

exchange::ExchangeHooks TFormMain::MakeHooks() {
    exchange::ExchangeHooks hooks;
    // Between two commands the running sequence's own text shows again.
    hooks.writeStatus = [this](const std::string& text) {
        SetStatusText(2, text.empty() ? sequenceStatus_ : FromCp1250(text));
    };
    hooks.progress = [this](int position, int maximum) {
        pb1->setMaximum(maximum);
        pb1->setValue(position);
    };
    hooks.timerEnabled = [this] { return Timer1.isActive(); };
    hooks.setTimerEnabled = [this](bool enabled) {
        if (enabled && !Timer1.isActive()) {
            Timer1.start();
        } else if (!enabled) {
            Timer1.stop();
        }
    };
    hooks.processMessages = [] { QCoreApplication::processEvents(); };
    // A sequence held to the device logged in ends once another one was plugged in (one pulled
    // ends it as detached).
    hooks.stopRequested = [this] {
        const std::uint64_t pinned = connection ? connection->PinnedAttachment() : 0;
        const std::uint64_t now = pinned != 0 ? connection->Attachment() : 0;
        return now != 0 && now != pinned;
    };
    return hooks;
}

void TFormMain::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(sb1Panels.size())) {
        sb1Panels[panel]->setText(text);
    }
}

QString TFormMain::StatusText(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(sb1Panels.size())) {
        return {};
    }
    return sb1Panels[panel]->text();
}

void TFormMain::SetSaveToDevImage(int index) {
    // Every edit marks the button; in the offline view it also means the file is behind.
    if (index == kPendingImage) {
        document_.Edited();
    }
    if (index == kPendingImage && history != nullptr) {
        history->Capture();
    }
    document_.SetSaveToDevImage(index);
    btnSaveToDev->setIcon(ToolImages[index]);
}

int TFormMain::OpModeIndex() const {
    return rgOpModeButtons[1]->isChecked() ? 1 : 0;
}

void TFormMain::SelectOpMode(int index) {
    rgOpModeButtons[index == 1 ? 1 : 0]->setChecked(true);
}

void TFormMain::PauseProcessingMessages(int ms) {
    // Keeps painting while it waits; the running sequence keeps other input out.
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

StringGridView* TFormMain::ViewOf(const settings::StringGrid& grid) const {
    for (StringGridView* view : {sgGPRSConnection, sgSMSFW, sgIN1, sgIN2, sgPhnrs, sgeInEvSetCID,
                                 sgeAlarmList, sgeInEvSet}) {
        if (&view->Grid() == &grid) {
            return view;
        }
    }
    return nullptr;
}

settings::TTableRule* TFormMain::TableOf(StringGridView* grid) {
    if (!model.IsSetUp() || grid == nullptr) {
        return nullptr;
    }
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        if (&model.Grid(table.id) == &grid->Grid()) {
            return &model.Rule(table.id);
        }
    }
    return nullptr;
}

QString TFormMain::HintOf(StringGridView* grid) const {
    return grid && grid->parentWidget() ? grid->parentWidget()->toolTip() : QString();
}

}  // namespace quelvar::ui

namespace quelvar::ui {

void TFormMain::BindHandlers() {
    connect(&Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);
    connect(tbtnOpen, &QToolButton::clicked, this, &TFormMain::tbtnOpenClick);
    connect(tbtnSave, &QToolButton::clicked, this, &TFormMain::tbtnSaveClick);
    connect(btnSaveToDev, &QToolButton::clicked, this, &TFormMain::btnSaveToDevClick);
    connect(ToolButton1, &QToolButton::clicked, this, &TFormMain::ToolButton1Click);
    connect(rgOpModeItems, &QButtonGroup::idClicked, this, &TFormMain::rgOpModeClick);
    BindViewHandlers();
    for (StringGridView* grid : {sgGPRSConnection, sgSMSFW, sgIN1, sgIN2, sgPhnrs, sgeInEvSetCID,
                                 sgeAlarmList, sgeInEvSet}) {
        ShowClippedTextAsToolTip(grid);
    }
    for (StringGridView* grid : {sgGPRSConnection, sgSMSFW, sgIN1, sgIN2, sgPhnrs, sgeInEvSetCID}) {
        connect(grid, &StringGridView::cellClicked, this, &TFormMain::sgClick);
        connect(grid, &StringGridView::keyActivated, this, &TFormMain::sgClick);
    }
    connect(sgeAlarmList, &StringGridView::keyActivated, this,
            [this](StringGridView* grid) { sgeAlarmListMouseUp(grid, Qt::LeftButton); });
    connect(sgeInEvSet, &StringGridView::keyActivated, this,
            [this](StringGridView* grid) { sgeInEvSetMouseUp(grid, Qt::LeftButton); });
    for (StringGridView* grid : {sgGPRSConnection, sgSMSFW, sgPhnrs, sgeInEvSetCID}) {
        connect(grid, &StringGridView::keyReleased, this, &TFormMain::sgGPRSConnectionKeyUp);
    }
    connect(sgeAlarmList, &StringGridView::mouseReleased, this, &TFormMain::sgeAlarmListMouseUp);
    connect(sgeInEvSet, &StringGridView::mouseReleased, this, &TFormMain::sgeInEvSetMouseUp);
}

}  // namespace quelvar::ui
