#include "ui/SimulatorWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>

#include "exchange/DevicePassword.h"
#include "link/Report.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

QComboBox* StateChoice(const QStringList& states, QWidget* parent) {
    auto* choice = new QComboBox(parent);
    choice->addItems(states);
    // Other texts the device may report can be typed.
    choice->setEditable(true);
    choice->setInsertPolicy(QComboBox::NoInsert);
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

}  // namespace

SimulatorWindow::SimulatorWindow(sim::SimulatedCommunicator& sim, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim) {
    setWindowTitle(kSimulatorTitle);
    btnPlug = new QPushButton(this);
    edPassword = new QLineEdit(this);
    edPassword->setPlaceholderText("none");
    edPassword->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,4}"), edPassword));
    btnSetPassword = new QPushButton("Set", this);
    spSignal = new QSpinBox(this);
    spSignal->setRange(-1, 31);
    spSignal->setSpecialValueText("wandering");
    cbLine = StateChoice({"ONHOOK", "OFFHOOK", "NO LINE"}, this);
    cbInput1 = StateChoice({"IDLE", "ALARM"}, this);
    cbInput2 = StateChoice({"IDLE", "ALARM"}, this);
    edEvent = new QLineEdit("E130 01 001", this);
    edEvent->setMaxLength(static_cast<int>(link::kMaxRequestText));
    btnSendEvent = new QPushButton("Send", this);
    lbState = new QLabel(this);

    auto* password = new QHBoxLayout;
    password->addWidget(edPassword);
    password->addWidget(btnSetPassword);
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
    form->addRow(lbState);

    const sim::SimulatedCommunicator::StatusTexts texts = sim_.GetStatusTexts();
    spSignal->setValue(texts.signal.value_or(-1));
    cbLine->setCurrentText(FromCp1250(texts.line));
    cbInput1->setCurrentText(FromCp1250(texts.input1));
    cbInput2->setCurrentText(FromCp1250(texts.input2));
    btnPlug->setText(sim_.IsPlugged() ? "Unplug" : "Plug in");
    ShowState("Password: " + PasswordText(sim_.Parameter("PW")));

    connect(btnPlug, &QPushButton::clicked, this, &SimulatorWindow::PlugClick);
    connect(btnSetPassword, &QPushButton::clicked, this, &SimulatorWindow::SetPasswordClick);
    connect(btnSendEvent, &QPushButton::clicked, this, &SimulatorWindow::SendEventClick);
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
    btnPlug->setText(sim_.IsPlugged() ? "Unplug" : "Plug in");
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
    ShowState("Password: " + PasswordText(sim_.Parameter("PW")));
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

}  // namespace quelvar::ui
