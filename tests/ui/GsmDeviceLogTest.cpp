// The device log window of the "More" menu, fed by the main window's monitor, its signal plot
// and its CSV save.

#include <QAbstractButton>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <utility>
#include <vector>

#include "GsmHarness.h"
#include "ui/DeviceLog.h"
#include "ui/DeviceLogWindow.h"

namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

constexpr int kEvents = 25;  // more than the main window's list keeps

QString EventText(int i) {
    return QString("E130 01 %1").arg(i, 3, 10, QChar('0'));
}

ui::DeviceLogWindow* OpenDeviceLog(GsmHarness& h) {
    GsmHarness::ChooseFromMenu(btnMore(*h.form), actDeviceLog(*h.form));
    if (!QTest::qWaitFor([&] { return OpenDeviceLogWindow(*h.form) != nullptr; }, 2000)) {
        return nullptr;
    }
    return OpenDeviceLogWindow(*h.form);
}

using Clock = std::chrono::system_clock;

// The plot's margins around the line's area: the level labels take the left one, the time
// labels the bottom one.
constexpr int kPlotLeft = 36;
constexpr int kPlotRight = 12;
constexpr int kPlotTop = 12;
constexpr int kPlotBottom = 24;

// Whether the column holds a pixel of the signal line (blue, also where anti-aliasing blends
// it into the background); the grid is grey, the lowest and highest marks red and green.
bool LineInColumn(const QImage& image, int x) {
    for (int y = kPlotTop; y < image.height() - kPlotBottom; ++y) {
        const QColor colour = image.pixelColor(x, y);
        if (colour.blue() - colour.red() >= 60 && colour.blue() >= colour.green()) {
            return true;
        }
    }
    return false;
}

}  // namespace

class GsmDeviceLogTest : public QObject {
    Q_OBJECT

  private slots:
    void holdsEveryEventWithTheSignalExtremesAndSavesThemAsCsv() {
        GsmHarness h;
        h.Connect();
        QVERIFY(ToolBar1(*h.form)->isVisible());
        h.sim->SendStatus(200, "12");
        h.sim->SendStatus(200, "27");
        h.sim->SendStatus(200, "20");
        for (int i = 0; i < kEvents; ++i) {
            h.sim->SendStatus(206, EventText(i).toStdString());
        }
        h.sim->SendStatus(206, "Zone \"1\", alarm");
        // Heard before the window is opened: the log outlives it.
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return h.form->Controls().deviceLog->Events().size() == kEvents + 1;
            },
            3000));
        ui::DeviceLogWindow* window = OpenDeviceLog(h);
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QCOMPARE(window->events->count(), kEvents + 1);
        QVERIFY(lbEvents(*h.form)->count() <= ui::TFormMain::kMaxEventLines);
        // Each Contact ID line with its meaning beside it.
        QVERIFY(window->events->item(0)->text().contains("  " + EventText(0) +
                                                         "   Burglary, "
                                                         "partition 01, zone 000"));
        // The main window's list says the meaning in each line's tool tip.
        h.form->Controls().ShowStatus({"READY", "IDLE", "IDLE", "20", "ONHOOK"}, "R137 02 004");
        QListWidget* list = lbEvents(*h.form);
        QCOMPARE(list->item(list->count() - 1)->toolTip(),
                 QString("Tamper restored, partition 02, zone 004"));
        QVERIFY(window->signalSummary->text().contains("minimum 12, maximum 27"));

        // Lines that come while the window is open are added to it.
        h.sim->SendStatus(206, "R130 01 001");
        // Texts a spreadsheet would take for formulas, and a terminal for commands.
        h.sim->SendStatus(206, "=SUM(A1)");
        h.sim->SendStatus(206, "@cmd");
        h.sim->SendStatus(206, "\x1b[2Jwiped");
        QVERIFY(QTest::qWaitFor(
            [&] {
                h.Tick();
                return window->events->count() == kEvents + 5;
            },
            3000));

        QTemporaryDir dir;
        const QString name = dir.filePath("site.csv");
        window->SetFileNameAsk([name] { return name; });
        QTest::mouseClick(window->btnSaveCsv, Qt::LeftButton);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
        QCOMPARE(lines.first(), QString("time,code,name,text"));
        QCOMPARE(lines.filter(",206,event,").size(), kEvents + 5);
        QCOMPARE(lines.filter(QRegularExpression(",206,event,'=SUM\\(A1\\)$")).size(), 1);
        QCOMPARE(lines.filter(QRegularExpression(",206,event,'@cmd$")).size(), 1);
        QCOMPARE(lines.filter(QRegularExpression(",206,event,\\\\x1b\\[2Jwiped$")).size(), 1);
        QVERIFY(!lines.join("").contains(QChar(0x1b)));
        QCOMPARE(lines.filter(",200,signal,").size(), 3);
        QVERIFY(lines.filter(QRegularExpression(",206,event,\"Zone \"\"1\"\", alarm\"$")).size() ==
                1);
        // In the time order: the signal reports came before the events.
        QVERIFY(lines.indexOf(QRegularExpression(".*,200,signal,20$")) <
                lines.indexOf(QRegularExpression(".*,206,event,E130 01 000$")));
    }

    // The line stops where the device went away and starts again where it came back: no
    // straight line across the minutes nobody measured.
    void plotLeavesAGapWhereTheDeviceWasDetached() {
        using namespace std::chrono_literals;
        ui::DeviceLog log;
        log.SetAttached(true);
        const Clock::time_point now = Clock::now();
        // Reports from 9.5 to 6.5 minutes ago, rising: the lowest and highest at the ends.
        const Clock::time_point firstBefore = now - 570s;
        const Clock::time_point lastBefore = now - 390s;
        std::vector<quelvar::link::StatusRecord> before;
        for (const auto& [level, at] : {std::pair{"8", 0s},
                                        {"12", 30s},
                                        {"16", 60s},
                                        {"20", 90s},
                                        {"24", 120s},
                                        {"26", 150s},
                                        {"28", 180s}}) {
            before.push_back({200, level, firstBefore + at});
        }
        log.Add(before);
        log.SetAttached(false);
        log.SetAttached(true);
        const Clock::time_point back = Clock::now();
        log.Add({{200, "15", back}, {200, "20", back + 1ms}});

        ui::DeviceLogWindow window(log);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QImage image = window.plot->grab().toImage();
        const int left = kPlotLeft;
        const int right = image.width() - kPlotRight;
        const Clock::time_point start = Clock::now() - ui::DeviceLog::kSignalSpan;
        auto column = [&](Clock::time_point at) {
            return left + static_cast<int>((right - left) * ((at - start) / 1.0s) /
                                           (ui::DeviceLog::kSignalSpan / 1.0s));
        };

        // Clear of the marks at the ends of the span the device was there.
        for (int x = column(firstBefore + 15s); x <= column(lastBefore - 15s); ++x) {
            QVERIFY2(LineInColumn(image, x), qPrintable(QString("no line at x %1").arg(x)));
        }
        for (int x = column(lastBefore + 15s); x <= column(now - 30s); ++x) {
            QVERIFY2(!LineInColumn(image, x),
                     qPrintable(QString("a line across the gap at x %1").arg(x)));
        }
        // The reports after the return are drawn again, at the right edge.
        bool after = false;
        for (int x = column(back) - 2; x <= column(back) + 2; ++x) {
            after = after || LineInColumn(image, x);
        }
        QVERIFY(after);
    }

    // Closed as a dialog is, with Escape or its Close button, and opened again from More.
    void closesWithEscapeOrItsCloseButton() {
        GsmHarness h;
        h.Connect();
        ui::DeviceLogWindow* window = OpenDeviceLog(h);
        QVERIFY(window != nullptr);
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        window = OpenDeviceLog(h);
        QVERIFY(window != nullptr && window->isVisible());
        QTest::mouseClick(window->btnClose, Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }

    void cancelledOrFailedSaveWritesNothingAndSaysWhy() {
        ui::DeviceLog log;
        log.Add({{206, "E130 01 001", std::chrono::system_clock::now()}});
        ui::DeviceLogWindow window(log);
        window.show();
        QTemporaryDir dir;

        window.SetFileNameAsk([] { return QString(); });
        QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton);
        QVERIFY(QDir(dir.path()).isEmpty());

        // A folder where the file should go.
        QVERIFY(QDir(dir.path()).mkdir("taken.csv"));
        window.SetFileNameAsk([&] { return dir.filePath("taken.csv"); });
        QString said;
        GsmHarness::OnModal([&](QWidget* box) {
            if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
                said = label->text();
            }
        });
        QTest::mouseClick(window.btnSaveCsv, Qt::LeftButton);
        QVERIFY2(said.startsWith("Unable to write"), qPrintable(said));
        QVERIFY(QFileInfo(dir.filePath("taken.csv")).isDir());
    }
};

QTEST_MAIN(GsmDeviceLogTest)
#include "GsmDeviceLogTest.moc"
