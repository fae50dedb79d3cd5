#pragma once
// The real main window and dialogs against the simulated communicator, with the monitor's
// ticks driven by the test, and helpers to answer modal dialogs with real key events.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "sim/SimulatedCommunicator.h"
#include "support/DataHome.h"
#include "ui/ComboSet.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/WindowControls.h"

namespace quelvar::test {

// Runs `action` on each modal dialog that shows while it lives (nested ones too), in order;
// a dialog the action leaves open is closed. The dialogs seen, for the test to check.
class ModalScript {
  public:
    explicit ModalScript(std::function<void(QWidget*, int)> action) : action_(std::move(action)) {
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal == last_) {
                return;
            }
            last_ = modal;
            // The same dialog shown again is a new step.
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                QObject::connect(
                    dialog, &QDialog::finished, &poll_, [this] { last_ = nullptr; },
                    Qt::SingleShotConnection);
            }
            const int step = seen_++;
            // Run from a timer of its own, so that this one keeps polling for dialogs the
            // action opens.
            QTimer::singleShot(0, &poll_, [this, shown = QPointer<QWidget>(modal), step] {
                if (shown == nullptr) {
                    return;
                }
                action_(shown, step);
                if (auto* dialog = qobject_cast<QDialog*>(shown.data());
                    dialog && dialog->isVisible()) {
                    dialog->done(99);
                }
            });
        });
        poll_.start();
    }
    int Seen() const { return seen_; }

  private:
    std::function<void(QWidget*, int)> action_;
    QTimer poll_;
    QWidget* last_ = nullptr;
    int seen_ = 0;
};

// A data folder of the test's own (backups, the site register), named in the environment as
// the programs look for it; it goes with the object.
inline std::unique_ptr<QTemporaryDir> TempDataHome() {
    auto data = std::make_unique<QTemporaryDir>();
#ifdef _WIN32
    qputenv("LOCALAPPDATA", data->path().toLocal8Bit());
#else
    qputenv("XDG_DATA_HOME", data->path().toLocal8Bit());
#endif
    return data;
}

// A left click on the cell, in whichever part of the grid shows it (the fixed rows and columns
// are views of their own).
inline void Click(ui::StringGridView* grid, int col, int row) {
    QTest::mouseClick(grid->CellViewport(col, row), Qt::LeftButton, {},
                      grid->CellRect(col, row).center());
}

class GsmHarness {
  public:
    // The window reaches the simulator through `bus` when one is given (a wrapper with faults of
    // its own), else directly.
    using Bus = std::function<std::unique_ptr<link::HidPlatform>(sim::SimulatedCommunicator&)>;
    explicit GsmHarness(bool plugged = true, const Bus& makeBus = {}) {
        sim::SimulatedCommunicator::Options options;
        options.pluggedIn = plugged;
        sim = std::make_unique<sim::SimulatedCommunicator>(options);
        if (makeBus) {
            bus = makeBus(*sim);
        }
        form = std::make_unique<ui::TFormMain>(bus ? *bus : static_cast<link::HidPlatform&>(*sim));
        setFrm = std::make_unique<ui::TSetFrm>();
        passwdFrm = std::make_unique<ui::TPasswdFrm>();
        form->SetDialogs(setFrm.get(), passwdFrm.get());
        form->show();
        form->Timer1.stop();
        form->connection->SetAckTimeout(std::chrono::milliseconds(100));
    }

    ~GsmHarness() {
        form.reset();  // stops the receiver before the simulator goes
    }

    // One tick of the connection monitor, as the timer would run it.
    void Tick() {
        form->Timer1Timer();
        form->Timer1.stop();
    }

    bool WaitAttached(bool attached = true) {
        return QTest::qWaitFor([&] { return form->connection->IsAttached() == attached; }, 3000);
    }

    // Plugs in (if needed), waits for the link and runs ticks until the log-in has run.
    void Connect() {
        sim->Plug();
        QVERIFY(WaitAttached());
        Tick();
    }

    // Runs `action` on the next modal dialog once it is shown.
    static void OnModal(std::function<void(QWidget*)> action) {
        auto* poll = new QTimer;
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, [poll, action] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                poll->stop();
                poll->deleteLater();
                action(modal);
                // A dialog the action left open would hang the test: close it.
                if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
                    dialog->done(99);
                }
            }
        });
        poll->start();
    }

    // Opens the tool button's menu with a real click and clicks the item in it. An item that
    // opens a dialog needs its OnModal armed first.
    // Returns once the item has done its work.
    static void ChooseFromMenu(QToolButton* button, QAction* item) {
        auto* poll = new QTimer;
        poll->setInterval(5);
        auto chosen = std::make_shared<bool>(false);
        QObject::connect(poll, &QTimer::timeout, [poll, item, chosen] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                poll->stop();
                poll->deleteLater();
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
                *chosen = true;
            }
        });
        poll->start();
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([chosen] { return *chosen; }, 5000));
    }

    // A click on the third tool button: everything is written to the device and verified.
    void ClickWriteBack() { QTest::mouseClick(btnSaveToDev(*form), Qt::LeftButton); }

    // Types into the password dialog's field and presses Enter.
    static void AnswerPassword(const QString& digits) {
        OnModal([digits](QWidget* dialog) {
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, digits);
            QTest::keyClick(field, Qt::Key_Return);
        });
    }

    // Clicks the button of that text in a dialog (message boxes, questions).
    static bool ClickButton(QWidget* dialog, const QString& text) {
        for (auto* button : dialog->findChildren<QAbstractButton*>()) {
            if (button->text() == text) {
                QTest::mouseClick(button, Qt::LeftButton);
                return true;
            }
        }
        return false;
    }

    static QString MessageText(QWidget* box) {
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        return label ? label->text() : QString();
    }

    std::vector<std::string> CommandTexts() const {
        std::vector<std::string> texts;
        for (const auto& command : sim->Commands()) {
            if (!command.text.empty()) {
                texts.push_back(command.text);
            }
        }
        return texts;
    }

    std::unique_ptr<sim::SimulatedCommunicator> sim;
    std::unique_ptr<link::HidPlatform> bus;
    std::unique_ptr<ui::TFormMain> form;
    std::unique_ptr<ui::TSetFrm> setFrm;
    std::unique_ptr<ui::TPasswdFrm> passwdFrm;
};

}  // namespace quelvar::test
