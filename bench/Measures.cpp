#include "Measures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#include "sim/SimulatedCommunicator.h"
#include "ui/ComboSet.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"

namespace quelvar::bench {

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Records the longest time between two turns of the event loop while it runs.
class LoopGapMeter {
  public:
    LoopGapMeter() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        timer_.start();
    }
    double LongestMs() const { return longest_ / 1e6; }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

class Bench {
  public:
    explicit Bench(std::chrono::microseconds pollingSleep) {
        sim::SimulatedCommunicator::Options options;
        options.pluggedIn = false;
        sim = std::make_unique<sim::SimulatedCommunicator>(options);
        sim->SetTiming({kLatency, kFrame});
        form = std::make_unique<ui::TFormMain>(*sim);
        form->SetDialogs(&setFrm, &passwdFrm);
        form->show();
        form->Timer1.stop();
        form->connection->SetPollingSleep(pollingSleep);
        sim->Plug();
        while (!form->connection->IsAttached()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    ~Bench() { form.reset(); }

    template <typename Sequence>
    Run Measure(Sequence sequence) {
        sim->ClearCommands();
        LoopGapMeter meter;
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        sequence();
        Run run;
        run.ms = MsSince(start);
        run.longestLoopGapMs = meter.LongestMs();
        run.exchanges = sim->CommandCount();
        return run;
    }

    std::unique_ptr<sim::SimulatedCommunicator> sim;
    ui::TSetFrm setFrm;
    ui::TPasswdFrm passwdFrm;
    std::unique_ptr<ui::TFormMain> form;
};

Run TimedLogIn(Bench& bench) {
    bench.sim->ClearCommands();
    LoopGapMeter meter;
    const Clock::time_point start = Clock::now();
    bench.form->Timer1Timer();
    bench.form->Timer1.stop();
    const auto commands = bench.sim->Commands();
    Run run;
    run.ms = MsSince(start);
    run.exchanges = commands.size();
    run.longestLoopGapMs = meter.LongestMs();
    if (!commands.empty()) {
        // The connect transition's fixed pause before the log-in is no exchange.
        run.ms -= std::chrono::duration<double, std::milli>(commands.front().at - start).count();
    }
    return run;
}

}  // namespace

SequenceRuns MeasureSequences(const QString& folder, std::chrono::microseconds pollingSleep) {
    Bench bench(pollingSleep);
    SequenceRuns runs;
    runs.logInRead = TimedLogIn(bench);
    runs.writeBack = bench.Measure([&] { bench.form->btnSaveToDevClick(); });
    const QString file = folder + "/bench.am2";
    bench.form->SetFileNameAsk([file](bool) { return file; });
    runs.settingsSave = bench.Measure([&] { bench.form->tbtnSaveClick(); });
    runs.settingsLoad = bench.Measure([&] { bench.form->tbtnOpenClick(); });
    return runs;
}

Run MeasureLogInRead(std::chrono::microseconds pollingSleep) {
    Bench bench(pollingSleep);
    return TimedLogIn(bench);
}

}  // namespace quelvar::bench
