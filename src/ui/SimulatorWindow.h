#pragma once
// The simulated communicator's controls, beside the main window when it runs with --simulate:
// the cable, the password, what the status rounds report, and event lines on demand.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QWidget>
#include <vector>

#include "sim/SimulatedBus.h"
#include "sim/SimulatedCommunicator.h"

namespace quelvar::ui {

inline constexpr const char* kSimulatorTitle = "Simulated communicator";
inline constexpr const char* kSimulatorsTitle = "Simulated communicators";
// Block writes acknowledged but not kept by "Forget writes": enough for a verify to fail.
inline constexpr int kForgottenWrites = 8;

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
    QLabel* lbPassword = nullptr;  // what the device holds now
    QCheckBox* chkSilent = nullptr;
    QSpinBox* spSilentAfter = nullptr;  // commands still answered once the switch is on
    QPushButton* btnForgetWrites = nullptr;
    QLabel* lbState = nullptr;

    // Beside `main` where the screen has room, else where it leaves the main window's tool bar
    // and status bar in sight; wholly on the screen in any case.
    void PlaceBeside(const QWidget& main);
    // The same within `room`, the part of the screen that windows may take.
    void PlaceBeside(const QWidget& main, const QRect& room);
    // Shows what the device holds now: the password (the main window may change it), the
    // cable, the answering switch.
    void ShowDevice();

  private:
    void PlugClick();
    void SetPasswordClick();
    void SendEventClick();
    void ApplyStatusTexts();
    void SilentToggled(bool on);
    void ForgetWritesClick();
    void ShowState(const QString& text);

    sim::SimulatedCommunicator& sim_;
};

// Several simulated communicators (--simulate N): a page of controls for each, named by its port,
// each with its own Unplug and Plug in.
class SimulatorsWindow : public QWidget {
    Q_OBJECT
  public:
    explicit SimulatorsWindow(sim::SimulatedBus& bus, QWidget* parent = nullptr);

    QTabWidget* tabs = nullptr;
    SimulatorWindow* Page(std::size_t index) const { return pages_.at(index); }
    // As SimulatorWindow::PlaceBeside.
    void PlaceBeside(const QWidget& main);

  private:
    std::vector<SimulatorWindow*> pages_;
};

}  // namespace quelvar::ui
