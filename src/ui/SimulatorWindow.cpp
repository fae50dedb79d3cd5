#include "ui/SimulatorWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "exchange/DevicePassword.h"
#include "link/PortName.h"
#include "link/Report.h"
#include "ui/DialogFont.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

constexpr int kGap = 8;

// Showing `current`, which may be none of `states`: other texts the device may report can be
// typed.
QComboBox* StateChoice(const QStringList& states, const QString& current, QWidget* parent) {
    auto* choice = new QComboBox(parent);
    choice->setEditable(true);
    choice->setInsertPolicy(QComboBox::NoInsert);
    choice->addItems(states);
    choice->setCurrentIndex(static_cast<int>(states.indexOf(current)));
    // Into the editor itself: setCurrentText fills it only while the box is editable, and
    // otherwise drops a text that no item holds. An empty field would read as a device that
    // reports nothing.
    choice->lineEdit()->setText(current);
    return choice;
}

// The four digits a user enters for what "PW" holds.
QString PasswordText(const std::string& value) {
    const exchange::DevicePassword password = exchange::ParseDevicePassword(value);
    switch (password.kind) {
        case exchange::DevicePassword::Kind::kNoneNeeded:
            return "none";
        case exchange::DevicePassword::Kind::kNumber:
            return QString("%1").arg(password.value - exchange::kPasswordOffset, 4, 10, QChar('0'));
        default:
            return FromCp1250(value);
    }
}

// What must stay in sight of the main window: its title bar down to the tool bar's bottom, and
// the status bar, where the sequences say how they ended.
struct KeptStrips {
    QRect top;
    QRect bottom;
};

KeptStrips KeptStripsOf(const QWidget& main) {
    const QRect frame = main.frameGeometry();
    int topEnd = main.geometry().top();
    int bottomStart = main.geometry().bottom() + 1;
    if (const auto* bar = main.findChild<QToolBar*>(); bar && bar->isVisibleTo(&main)) {
        topEnd = bar->mapToGlobal(QPoint(0, bar->height())).y();
    }
    if (const auto* bar = main.findChild<QStatusBar*>(); bar && bar->isVisibleTo(&main)) {
        bottomStart = bar->mapToGlobal(QPoint(0, 0)).y();
    }
    return {QRect(frame.topLeft(), QPoint(frame.right(), topEnd - 1)),
            QRect(QPoint(frame.left(), bottomStart), frame.bottomRight())};
}

QPoint WithinRoom(QPoint place, const QSize& size, const QRect& room) {
    const auto within = [](int at, int low, int high) { return std::max(low, std::min(at, high)); };
    place.setX(within(place.x(), room.left(), room.right() + 1 - size.width()));
    place.setY(within(place.y(), room.top(), room.bottom() + 1 - size.height()));
    return place;
}

// The frame's top left corner for a window of `size`: beside the main window, else below or
// above it, else over the middle of its grids; the first that keeps both strips in sight and
// the whole window on the screen. Where none does, the status bar still shows.
QPoint PlaceFor(const QWidget& main, const QSize& size, const QRect& room) {
    const QRect frame = main.frameGeometry();
    const KeptStrips kept = KeptStripsOf(main);
    // The right side of the main window holds the settings grids; the events list, which the
    // simulated device fills, is on the left.
    const int overRight = frame.right() + 1 - kGap - size.width();
    const int middleTop = kept.top.bottom() + 1;
    const int middleHeight = kept.bottom.top() - middleTop;
    const QPoint tries[] = {
        {frame.right() + 1 + kGap, frame.top()},
        {frame.left() - kGap - size.width(), frame.top()},
        {overRight, frame.bottom() + 1 + kGap},
        {overRight, frame.top() - kGap - size.height()},
        {overRight, middleTop + (middleHeight - size.height()) / 2},
    };
    for (const QPoint& place : tries) {
        const QRect window(WithinRoom(place, size, room), size);
        if (room.contains(window) && !window.intersects(kept.top) &&
            !window.intersects(kept.bottom)) {
            return window.topLeft();
        }
    }
    return WithinRoom({overRight, kept.bottom.top() - kGap - size.height()}, size, room);
}

}  // namespace

SimulatorWindow::SimulatorWindow(sim::SimulatedCommunicator& sim, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim) {
    setWindowTitle(kSimulatorTitle);
    // The font the dialogs have: under Wine the platform's default one left every field's text
    // undrawn (line, inputs, event line), though it drew the labels.
    setFont(DialogFont(9));
    btnPlug = new QPushButton(this);
    edPassword = new QLineEdit(this);
    edPassword->setPlaceholderText("none");
    edPassword->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,4}"), edPassword));
    btnSetPassword = new QPushButton("Set", this);
    spSignal = new QSpinBox(this);
    spSignal->setRange(-1, 31);
    spSignal->setSpecialValueText("wandering");
    const sim::SimulatedCommunicator::StatusTexts texts = sim_.GetStatusTexts();
    spSignal->setValue(texts.signal.value_or(-1));
    cbLine = StateChoice({"ONHOOK", "OFFHOOK", "NO LINE"}, FromCp1250(texts.line), this);
    cbInput1 = StateChoice({"IDLE", "ALARM"}, FromCp1250(texts.input1), this);
    cbInput2 = StateChoice({"IDLE", "ALARM"}, FromCp1250(texts.input2), this);
    edEvent = new QLineEdit("E130 01 001", this);
    edEvent->setMaxLength(static_cast<int>(link::kMaxRequestText));
    btnSendEvent = new QPushButton("Send", this);
    lbPassword = new QLabel(this);
    chkSilent = new QCheckBox("Stop answering after", this);
    spSilentAfter = new QSpinBox(this);
    spSilentAfter->setRange(0, 100000);
    spSilentAfter->setSuffix(" more commands");
    btnForgetWrites =
        new QPushButton(QString("Forget the next %1 block writes").arg(kForgottenWrites), this);
    btnForgetWrites->setToolTip("They are acknowledged but not kept, as by a failing memory");
    lbState = new QLabel(this);
    lbState->setTextFormat(Qt::PlainText);

    auto* password = new QHBoxLayout;
    password->addWidget(edPassword);
    password->addWidget(btnSetPassword);
    password->addWidget(lbPassword);
    auto* event = new QHBoxLayout;
    event->addWidget(edEvent);
    event->addWidget(btnSendEvent);
    auto* form = new QFormLayout(this);
    form->addRow("USB cable", btnPlug);
    form->addRow("Password", password);
    form->addRow("Signal level", spSignal);
    form->addRow("Line", cbLine);
    form->addRow("Z1", cbInput1);
    form->addRow("Z2", cbInput2);
    form->addRow("Event line", event);
    auto* silent = new QHBoxLayout;
    silent->addWidget(chkSilent);
    silent->addWidget(spSilentAfter);
    form->addRow("Answers", silent);
    form->addRow("Memory", btnForgetWrites);
    form->addRow(lbState);

    ShowDevice();  // the password line among it, which the state line does not repeat
    // The main window and the tests change the device too.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &SimulatorWindow::ShowDevice);
    refresh->start(250);

    connect(btnPlug, &QPushButton::clicked, this, &SimulatorWindow::PlugClick);
    connect(btnSetPassword, &QPushButton::clicked, this, &SimulatorWindow::SetPasswordClick);
    connect(btnSendEvent, &QPushButton::clicked, this, &SimulatorWindow::SendEventClick);
    connect(chkSilent, &QCheckBox::toggled, this, &SimulatorWindow::SilentToggled);
    connect(btnForgetWrites, &QPushButton::clicked, this, &SimulatorWindow::ForgetWritesClick);
    connect(edEvent, &QLineEdit::returnPressed, this, &SimulatorWindow::SendEventClick);
    connect(spSignal, &QSpinBox::valueChanged, this, &SimulatorWindow::ApplyStatusTexts);
    for (QComboBox* choice : {cbLine, cbInput1, cbInput2}) {
        connect(choice, &QComboBox::currentTextChanged, this, &SimulatorWindow::ApplyStatusTexts);
    }
}

void SimulatorWindow::PlugClick() {
    if (sim_.IsPlugged()) {
        sim_.Unplug();
    } else {
        sim_.Plug();
    }
    ShowDevice();
}

void SimulatorWindow::ShowDevice() {
    btnPlug->setText(sim_.IsPlugged() ? "Unplug" : "Plug in");
    lbPassword->setText("now " + PasswordText(sim_.Parameter("PW")));
    const QSignalBlocker quiet(chkSilent);
    chkSilent->setChecked(sim_.AnsweringStopped());
}

void SimulatorWindow::SilentToggled(bool on) {
    if (on) {
        sim_.StopAnswering(static_cast<std::size_t>(spSilentAfter->value()));
        ShowState(spSilentAfter->value() == 0
                      ? QString("The device answers no command")
                      : QString("The device stops answering after %1 more commands")
                            .arg(spSilentAfter->value()));
    } else {
        sim_.AnswerAgain();
        ShowState("The device answers again");
    }
}

void SimulatorWindow::ForgetWritesClick() {
    sim_.ForgetNextBlockWrites(kForgottenWrites);
    ShowState(
        QString("The next %1 block writes are acknowledged but not kept").arg(kForgottenWrites));
}

void SimulatorWindow::PlaceBeside(const QWidget& main) {
    QScreen* screen = main.screen();
    PlaceBeside(main, screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768));
}

void SimulatorWindow::PlaceBeside(const QWidget& main, const QRect& room) {
    adjustSize();
    winId();  // the frame is known once the window exists
    move(PlaceFor(main, frameGeometry().size(), room));  // a window's position is its frame's
}

void SimulatorWindow::SetPasswordClick() {
    const QString digits = edPassword->text();
    const std::optional<long long> encoded = exchange::EncodePassword(digits.toStdString());
    if (!digits.isEmpty() && !encoded) {
        ShowState("The password is four digits, or none");
        return;
    }
    // Held as the device holds it; its factory value asks for no password.
    sim_.SetParameter("PW", std::to_string(encoded.value_or(exchange::kNoPassword)));
    ShowDevice();
    ShowState("Password set");
}

void SimulatorWindow::SendEventClick() {
    const std::optional<std::string> line = ToCp1250(edEvent->text());
    if (!line || line->empty()) {
        ShowState("Nothing to send");
        return;
    }
    sim_.SendEventLine(*line);
    ShowState("Sent " + edEvent->text());
}

void SimulatorWindow::ApplyStatusTexts() {
    sim::SimulatedCommunicator::StatusTexts texts;
    if (spSignal->value() >= 0) {
        texts.signal = spSignal->value();
    }
    // A typed character the code page cannot hold keeps the text the device reports now.
    const sim::SimulatedCommunicator::StatusTexts now = sim_.GetStatusTexts();
    texts.line = ToCp1250(cbLine->currentText()).value_or(now.line);
    texts.input1 = ToCp1250(cbInput1->currentText()).value_or(now.input1);
    texts.input2 = ToCp1250(cbInput2->currentText()).value_or(now.input2);
    sim_.SetStatusTexts(texts);
}

void SimulatorWindow::ShowState(const QString& text) {
    lbState->setText(text);
}

SimulatorsWindow::SimulatorsWindow(sim::SimulatedBus& bus, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setWindowTitle(kSimulatorsTitle);
    setFont(DialogFont(9));
    tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");
    for (std::size_t i = 0; i < bus.Count(); ++i) {
        auto* page = new SimulatorWindow(bus.Communicator(i));
        pages_.push_back(page);
        tabs->addTab(page, FromLocalPath(link::ShortPortName(sim::SimulatedBus::PathOf(i))));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(tabs);
}

void SimulatorsWindow::PlaceBeside(const QWidget& main) {
    adjustSize();
    winId();
    QScreen* screen = main.screen();
    move(PlaceFor(main, frameGeometry().size(),
                  screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768)));
}

}  // namespace quelvar::ui
