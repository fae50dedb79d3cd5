#include <QFont>
#include <QHeaderView>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/GsmControls.h"

#include "ui/DeviceLog.h"
#include "ui/EditHistory.h"
#include "ui/Gsm.h"
#include "ui/QtText.h"
#include "ui/ReconnectPanel.h"
#include "ui/ToolImages.h"

namespace quelvar::ui {

namespace {

using settings::TableId;

QFont BoldFont(const QFont& base) {
    QFont font = base;
    font.setBold(true);
    return font;
}

QGroupBox* Group(QWidget* parent, const QString& title, QRect place, bool bold = false) {
    auto* box = new QGroupBox(title, parent);
    box->setGeometry(place);
    if (bold) {
        box->setFont(BoldFont(box->font()));
    }
    return box;
}

QLabel* Label(QWidget* parent, const QString& text, int left, int top, bool bold = false) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);  // the device's status texts among them
    label->move(left, top);
    if (bold) {
        label->setFont(BoldFont(parent->font()));
    }
    label->adjustSize();
    return label;
}

StringGridView* GridIn(QGroupBox* box, settings::StringGrid& grid, int top = 16) {
    auto* view = new StringGridView(grid, box);
    view->setFont(box->window()->font());
    view->setGeometry(4, top, box->width() - 8, box->height() - top - 4);
    return view;
}

// The small settings grids show their value column cut at the edge, with no scroll bars.
void WithoutScrollBars(StringGridView* view) {
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->SetAutoScrollToSelection(false);
    const int rowsHeight = view->Grid().RowCount() * StringGridView::kRowHeight + 2;
    view->resize(view->width(), std::min(view->height(), rowsHeight));
}

QToolButton* ToolButton(QToolBar* bar, const QIcon& icon, const QString& name, const QString& tip) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setIcon(icon);
    button->setIconSize(QSize(32, 32));
    button->setFixedSize(39, 51);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    bar->addWidget(button);
    return button;
}

}  // namespace

void MainControls::Build(QWidget& form, settings::SettingsModel& model) {
    form.setWindowTitle(kCaption);
    form.setFixedSize(kClientWidth, kClientHeight);
    QFont font;
    font.setFamilies({"Tahoma", "Liberation Sans", "DejaVu Sans"});
    font.setPixelSize(11);
    font.setBold(false);  // stated, so that children of bold groups stay plain when given it
    form.setFont(font);
    QPalette background = form.palette();
    background.setColor(QPalette::Window, QColor(215, 228, 242));  // inactive caption
    form.setPalette(background);
    form.setAutoFillBackground(true);

    auto* layout = new QVBoxLayout(&form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ScrollBox1 = new QScrollArea(&form);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    content->setFixedSize(kClientWidth - 4, kClientHeight - 26);
    ScrollBox1->setWidget(content);
    layout->addWidget(ScrollBox1, 1);

    BuildToolBar(content);
    deviceLog = new DeviceLog(&form);
    BuildStatusPanel(font);
    BuildSettingsGroups(form, model);

    pb1 = new QProgressBar(content);
    pb1->setGeometry(241, 473, 163, 17);
    pb1->setTextVisible(false);
    pb1->setValue(0);
    // Empty between sequences: the tip says what fills it.
    pb1->setToolTip("Progress of the exchange with the device");
    BuildStatusBar(form);
    layout->addWidget(sb1);
}

void MainControls::BuildToolBar(QWidget* content) {
    for (int i = 0; i < 5; ++i) {
        ToolImages[i] = QIcon(DrawToolImage(static_cast<ToolImage>(i)));
    }
    ToolBar1 = new QToolBar(content);
    ToolBar1->setGeometry(9, 0, 218, 52);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->setMovable(false);
    tbtnOpen = ToolButton(ToolBar1, ToolImages[0], "tbtnOpen", kOpenTip);
    tbtnSave = ToolButton(ToolBar1, ToolImages[1], "tbtnSave", "Save settings file");
    btnSaveToDev = ToolButton(ToolBar1, ToolImages[kSavedImage], "btnSaveToDev", kWriteAllTip);
    ToolButton1 = ToolButton(ToolBar1, ToolImages[3], "ToolButton1", kChangePasswordTip);
    // Beside the four tool buttons, as they are built.
    btnMore = ToolButton(ToolBar1, QIcon(DrawToolImage(ToolImage::kMore)), "btnMore", "More");
    btnMore->setStyleSheet("QToolButton::menu-indicator { image: none; }");
    BuildMoreMenu();
}

void MainControls::BuildMoreMenu() {
    mnuMore = new QMenu(btnMore);
    actCompare = mnuMore->addAction("Compare with file...");
    mnuRecent = mnuMore->addMenu("Recent files");
    actShowDifferences = mnuMore->addAction("Show differences");
    actShowDifferences->setEnabled(false);
    mnuMore->addSeparator();
    actDeviceLog = mnuMore->addAction("Device log...");
    actPrintSettings = mnuMore->addAction("Print settings...");
    mnuMore->addSeparator();
    actUndo = mnuMore->addAction("Undo");
    actRedo = mnuMore->addAction("Redo");
    actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {actUndo, actRedo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
    }
    mnuMore->addSeparator();
    actBackups = mnuMore->addAction("Backups...");
    actSites = mnuMore->addAction("Sites...");
    mnuMore->addSeparator();
    actChooseDevice = mnuMore->addAction("Choose device...");
    actProvision = mnuMore->addAction("Provision devices...");
    mnuMore->addSeparator();
    actLogInAgain = mnuMore->addAction("Log in again");
    actLogInAgain->setEnabled(false);
}

void MainControls::BuildStatusBar(QWidget& form) {
    sb1 = new QStatusBar(&form);
    sb1->setSizeGripEnabled(false);
    const int widths[] = {150, 200, 50};
    for (int i = 0; i < 3; ++i) {
        sb1Panels[i] = new QLabel(sb1);
        sb1Panels[i]->setTextFormat(Qt::PlainText);  // file names, the device's texts
        sb1Panels[i]->setMinimumWidth(widths[i]);
        if (i < 2) {
            sb1Panels[i]->setFixedWidth(widths[i]);
        }
        sb1->addWidget(sb1Panels[i], i == 2 ? 1 : 0);
    }
    sb1Panels[0]->setText(kUsbDisconnected);
    // The site register's customer of the account logged in, after the design's panels.
    sbCustomer = new QLabel(sb1);
    sbCustomer->setObjectName("sbCustomer");
    sbCustomer->setTextFormat(Qt::PlainText);
    sb1->addPermanentWidget(sbCustomer);
    // With several communicators attached: which one the window shows.
    sbDevices = new QLabel(sb1);
    sbDevices->setObjectName("sbDevices");
    sbDevices->setTextFormat(Qt::PlainText);
    sbDevices->hide();
    sb1->addPermanentWidget(sbDevices);
}

// Tests and accessibility tools find the controls by these names.
void MainControls::Name() {
#define NAMED(control) std::pair<QObject*, const char*>(control, #control)
    const std::pair<QObject*, const char*> controls[] = {NAMED(ScrollBox1),
                                                         NAMED(ToolBar1),
                                                         NAMED(mnuMore),
                                                         NAMED(actCompare),
                                                         NAMED(actShowDifferences),
                                                         NAMED(actDeviceLog),
                                                         NAMED(actPrintSettings),
                                                         NAMED(actUndo),
                                                         NAMED(actRedo),
                                                         NAMED(actBackups),
                                                         NAMED(actSites),
                                                         NAMED(actChooseDevice),
                                                         NAMED(actProvision),
                                                         NAMED(actLogInAgain),
                                                         NAMED(mnuRecent),
                                                         NAMED(history),
                                                         NAMED(deviceLog),
                                                         NAMED(GroupBox6),
                                                         NAMED(Label1),
                                                         NAMED(Label10),
                                                         NAMED(Label5),
                                                         NAMED(Label8),
                                                         NAMED(Label9),
                                                         NAMED(stPIN),
                                                         NAMED(stGSM),
                                                         NAMED(stLINE),
                                                         NAMED(stINPUT1),
                                                         NAMED(stINPUT2),
                                                         NAMED(Label11),
                                                         NAMED(lbEvents),
                                                         NAMED(gbMset),
                                                         NAMED(rgOpMode),
                                                         NAMED(rgOpModeItems),
                                                         NAMED(GroupBox2),
                                                         NAMED(sgGPRSConnection),
                                                         NAMED(GroupBox3),
                                                         NAMED(sgSMSFW),
                                                         NAMED(gbIN1),
                                                         NAMED(sgIN1),
                                                         NAMED(GroupBox7),
                                                         NAMED(sgIN2),
                                                         NAMED(gbPhnrs1),
                                                         NAMED(sgPhnrs),
                                                         NAMED(gbExtevents),
                                                         NAMED(Label2),
                                                         NAMED(Label3),
                                                         NAMED(sgeAlarmList),
                                                         NAMED(gbIntevents),
                                                         NAMED(sgeInEvSet),
                                                         NAMED(gbMonParams),
                                                         NAMED(sgeInEvSetCID),
                                                         NAMED(sb1),
                                                         NAMED(pb1)};
#undef NAMED
    for (const auto& [control, name] : controls) {
        control->setObjectName(QString::fromLatin1(name));
    }
    rgOpModeButtons[0]->setObjectName("rgOpModeStandalone");
    rgOpModeButtons[1]->setObjectName("rgOpModeTransparent");
    for (int i = 0; i < 3; ++i) {
        sb1Panels[i]->setObjectName(QString("sb1Panel%1").arg(i));
    }
}

void MainControls::BuildStatusPanel(const QFont& plain) {
    QWidget* content = ScrollBox1->widget();
    GroupBox6 = Group(content, "Module status", {9, 58, 218, 435}, true);
    QLabel** captions[] = {&Label1, &Label10, &Label5, &Label8, &Label9};
    QLabel** states[] = {&stPIN, &stGSM, &stLINE, &stINPUT1, &stINPUT2};
    const char* designCaptions[] = {"SIM status", "GSM signal", "Line", "Input 1", "Input 2"};
    for (int i = 0; i < 5; ++i) {
        *captions[i] = Label(GroupBox6, designCaptions[i], 8, 22 + 22 * i);
        (*captions[i])->setFont(plain);
        *states[i] = Label(GroupBox6, "-", 140, 22 + 22 * i, true);
        (*states[i])->setFixedWidth(70);
        QPalette green = (*states[i])->palette();
        green.setColor(QPalette::WindowText, QColor(0, 55, 0));
        (*states[i])->setPalette(green);
    }
    Label11 = Label(GroupBox6, "Events", 8, 137);
    Label11->setFont(plain);
    lbEvents = new QListWidget(GroupBox6);
    lbEvents->setGeometry(7, 155, 202, 266);
    lbEvents->setFont(plain);
}

void MainControls::BuildSettingsGroups(QWidget& form, settings::SettingsModel& model) {
    QWidget* content = ScrollBox1->widget();
    gbMset = Group(content, "Settings", {231, 5, 744, 488}, true);
    gbMset->hide();
    pnlNoSettings = new ReconnectPanel(gbMset, content);
    pnlNoSettings->setGeometry(231, 5, 744, 100);
    const QFont plain = form.font();

    rgOpMode = Group(gbMset, "Operating mode", {7, 18, 166, 71});
    rgOpModeItems = new QButtonGroup(rgOpMode);
    for (int i = 0; i < 2; ++i) {
        rgOpModeButtons[i] = new QRadioButton(i == 0 ? "Standalone" : "Transparent", rgOpMode);
        rgOpModeButtons[i]->setGeometry(10, 18 + 22 * i, 150, 20);
        rgOpModeButtons[i]->setFont(plain);
        rgOpModeItems->addButton(rgOpModeButtons[i], i);
    }
    rgOpModeButtons[0]->setChecked(true);

    struct Table {
        QGroupBox** box;
        StringGridView** view;
        TableId id;
        QRect place;
        const char* design;
    };
    const Table tables[] = {
        {&GroupBox2, &sgGPRSConnection, TableId::kSimCard, {7, 95, 166, 49}, "SIM card"},
        {&GroupBox3, &sgSMSFW, TableId::kSmsForwarding, {7, 149, 166, 49}, "SMS forwarding"},
        {&gbIN1, &sgIN1, TableId::kZ1Settings, {7, 200, 166, 67}, "Input 1"},
        {&GroupBox7, &sgIN2, TableId::kZ2Settings, {7, 270, 166, 68}, "Input 2"},
        {&gbPhnrs1, &sgPhnrs, TableId::kPhoneNumbers, {7, 342, 166, 124}, "Phone numbers"},
        {&gbMonParams, &sgeInEvSetCID, TableId::kMonitoring, {179, 18, 555, 110}, "Monitoring"},
    };
    for (const Table& t : tables) {
        *t.box = Group(gbMset, t.design, t.place);
        (*t.box)->setFont(plain);
        *t.view = GridIn(*t.box, model.Grid(t.id));
        if (t.id != TableId::kMonitoring) {
            WithoutScrollBars(*t.view);
        }
    }
    gbMonParams->hide();

    gbExtevents = Group(gbMset, "Alarm events", {179, 18, 556, 318});
    gbExtevents->setFont(plain);
    Label2 = Label(gbExtevents, "", 8, 14);
    Label3 = Label(gbExtevents, "", 8, 28);
    sgeAlarmList = GridIn(gbExtevents, model.AlarmGrid(), 46);
    gbIntevents = Group(gbMset, "Input events", {178, 342, 556, 122});
    gbIntevents->setFont(plain);
    sgeInEvSet = GridIn(gbIntevents, model.InputGrid());
    sgeInEvSet->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The editing handlers prefix the editor's message with these hints.
    GroupBox2->setToolTip("Connection settings");
    gbPhnrs1->setToolTip("Phone number");
    GroupBox3->setToolTip("Incoming SMS notice");
    gbIN1->setToolTip("INPUT 1");
    GroupBox7->setToolTip("INPUT 2");
    gbMonParams->setToolTip("Phone number");
    gbExtevents->setToolTip("Alarm event handling");
    gbIntevents->setToolTip("Input event handling");
}

void MainControls::SetCaptions() {
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

void MainControls::LayOutMode(bool standalone) {
    for (QGroupBox* events : {gbExtevents, gbIntevents}) {
        events->setVisible(standalone);
        events->setEnabled(standalone);
    }
    gbPhnrs1->setVisible(standalone);
    gbMonParams->setVisible(!standalone);
}

void MainControls::SetDeviceToolsEnabled(bool enabled) {
    btnSaveToDev->setEnabled(enabled);
    ToolButton1->setEnabled(enabled);
    btnSaveToDev->setToolTip(enabled ? kWriteAllTip : kNoDeviceTip);
    ToolButton1->setToolTip(enabled ? kChangePasswordTip : kNoDeviceTip);
    // With a device logged in, Open writes the file into it at once.
    tbtnOpen->setToolTip(enabled ? kOpenIntoDeviceTip : kOpenTip);
}

std::array<StringGridView*, 8> MainControls::Grids() const {
    return {sgGPRSConnection, sgSMSFW,       sgIN1,        sgIN2,
            sgPhnrs,          sgeInEvSetCID, sgeAlarmList, sgeInEvSet};
}

StringGridView* MainControls::ViewOf(const settings::StringGrid& grid) const {
    for (StringGridView* view : Grids()) {
        if (&view->Grid() == &grid) {
            return view;
        }
    }
    return nullptr;
}

}  // namespace quelvar::ui
