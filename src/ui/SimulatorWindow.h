#pragma once
// The simulated communicator's controls, beside the main window when it runs with --simulate:
// the cable, the password, what the status rounds report, and event lines on demand.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include "sim/SimulatedCommunicator.h"

namespace quelvar::ui {

inline constexpr const char* kSimulatorTitle = "Simulated communicator";

class SimulatorWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SimulatorWindow(sim::SimulatedCommunicator& sim, QWidget* parent = nullptr);

    QPushButton* btnPlug = nullptr;
    QLineEdit* edPassword = nullptr;
    QPushButton* btnSetPassword = nullptr;
    QSpinBox* spSignal = nullptr;  // -1: the level wanders
    QComboBox* cbLine = nullptr;
    QComboBox* cbInput1 = nullptr;
    QComboBox* cbInput2 = nullptr;
    QLineEdit* edEvent = nullptr;
    QPushButton* btnSendEvent = nullptr;
    QLabel* lbState = nullptr;

  private:
    void PlugClick();
    void SetPasswordClick();
    void SendEventClick();
    void ApplyStatusTexts();
    void ShowState(const QString& text);

    sim::SimulatedCommunicator& sim_;
};

}  // namespace quelvar::ui
