#pragma once
// The simulated communicator's state file while the window program runs: saved after each
// device sequence that changed it (and on every monitor tick that finds a change made outside
// one), so that a crash, a logout or a signal loses nothing the device acknowledged. A state
// that cannot be saved is said in the window, once for each reason.

#include <QObject>
#include <QPointer>
#include <QString>

#include "sim/SimStateFile.h"

class QMessageBox;

namespace quelvar::ui {

class TFormMain;

class SimStateKeeper : public QObject {
    Q_OBJECT
  public:
    SimStateKeeper(TFormMain& form, sim::SimStateFile& file);

    // Saves now unless a sequence is under way; the reason it failed, or empty.
    QString SaveNow();
    // The reason shown in the window, until a save succeeds again.
    const QString& ShownProblem() const { return shownProblem_; }

  private:
    void Show(const QString& problem);

    TFormMain& form_;
    sim::SimStateFile& file_;
    QString shownProblem_;
    QPointer<QMessageBox> box_;
};

}  // namespace quelvar::ui
