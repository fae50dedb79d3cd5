#include "ui/GsmSimStateKeeper.h"

#include <QMessageBox>
#include <cstdio>

#include "ui/Gsm.h"
#include "ui/QtText.h"

namespace quelvar::ui {

SimStateKeeper::SimStateKeeper(TFormMain& form, sim::SimStateFile& file)
    : QObject(&form), form_(form), file_(file) {
    connect(&form_, &TFormMain::sequenceEnded, this, &SimStateKeeper::SaveNow);
    connect(&form_, &TFormMain::ticked, this, &SimStateKeeper::SaveNow);
}

QString SimStateKeeper::SaveNow() {
    if (form_.SequenceRunning()) {
        return {};  // half a sequence is no state to keep; its end saves
    }
    const std::string error = file_.Save();
    if (error.empty()) {
        shownProblem_.clear();
        return {};
    }
    const QString problem = QString::fromLocal8Bit(error);
    if (problem != shownProblem_) {
        Show(problem);
    }
    return problem;
}

void SimStateKeeper::Show(const QString& problem) {
    shownProblem_ = problem;
    std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
    if (box_) {
        box_->close();
    }
    // Not modal: a sequence or the monitor must not wait on it.
    box_ = new QMessageBox(QMessageBox::Warning, kCaption,
                           "The simulated communicator's state cannot be saved:\n" + problem +
                               "\n\nWhat the device is sent from now on is lost when the program "
                               "ends, unless the file can be written again.",
                           QMessageBox::Ok, &form_);
    box_->setTextFormat(Qt::PlainText);  // a path may hold anything
    box_->setAttribute(Qt::WA_DeleteOnClose);
    box_->setObjectName("simStateProblem");
    box_->setWindowModality(Qt::NonModal);
    box_->show();
}

}  // namespace quelvar::ui
