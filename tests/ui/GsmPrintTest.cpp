// "Print settings...": the report of what the window shows, saved as PDF through real clicks.

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "settings/SettingsFile.h"
#include "ui/SettingsReportDialog.h"

namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

namespace {

// Opens the report from the menu; `action` runs on the report dialog once it shows.
void OnReport(GsmHarness& h, std::function<void(ui::SettingsReportDialog*)> action) {
    GsmHarness::OnModal([action](QWidget* modal) {
        auto* dialog = qobject_cast<ui::SettingsReportDialog*>(modal);
        QVERIFY(dialog != nullptr);
        action(dialog);
    });
    GsmHarness::ChooseFromMenu(btnMore(*h.form), actPrintSettings(*h.form));
}

}  // namespace

class GsmPrintTest : public QObject {
    Q_OBJECT

  private slots:
    void reportOfTheLoggedInDeviceIsSavedAsPdf() {
        GsmHarness h;
        h.Connect();
        QVERIFY(h.form->DeviceLoggedIn());
        QTemporaryDir dir;
        const QString name = dir.filePath("report.pdf");
        QString shown;
        bool saved = false;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            shown = dialog->view->toPlainText();
            dialog->SetFileNameAsk([name] { return name; });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            saved = QFile::exists(name);
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        QVERIFY(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 5000));
        QVERIFY(saved);
        // The firmware the device reported and the settings it holds.
        QVERIFY2(shown.contains("2.14"), qPrintable(shown));
        QVERIFY(shown.contains("+36301234567"));
        QFile pdf(name);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(4), QByteArray("%PDF"));
        QVERIFY(pdf.size() > 1000);
    }

    // A file shown without a device: its settings, but no firmware, and the device hears nothing.
    void reportOfAFileWithoutDeviceHasNoFirmwareAndSendsNothing() {
        GsmHarness h;
        QVERIFY(h.WaitAttached());  // attached, but never logged in
        QTemporaryDir dir;
        const QString site = dir.filePath("site.am2");
        quelvar::settings::SettingsModel model;
        model.Grid(quelvar::settings::TableId::kPhoneNumbers).SetCell(1, 1, "+36705550101");
        QVERIFY(quelvar::settings::SaveSettingsFile(model, 0, site.toStdString()).ok);
        h.form->SetFileNameAsk([site](bool) { return site; });
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        // The open restarts the monitor, whose tick would log the device in while the menu
        // opens: the test ticks.
        h.form->Timer1.stop();
        QString shown;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) { shown = dialog->view->toPlainText(); });
        QVERIFY(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 5000));
        QVERIFY(shown.contains("+36705550101"));
        QVERIFY2(!shown.contains("Firmware"), qPrintable(shown));
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    void cancelledOrFailedPdfWritesNothingAndSaysWhy() {
        GsmHarness h;
        h.Connect();
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("taken.pdf"));
        QString said;
        bool done = false;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            dialog->SetFileNameAsk([] { return QString(); });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            dialog->SetFileNameAsk([&] { return dir.filePath("taken.pdf"); });
            GsmHarness::OnModal([&](QWidget* box) {
                if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
                    said = label->text();
                }
            });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            done = true;
        });
        QVERIFY(QTest::qWaitFor([&] { return done; }, 5000));
        QVERIFY2(said.startsWith("Unable to write"), qPrintable(said));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // A report to sign: the event tables repeat their heading row on each page and give the
    // SMS text the room the narrow marks leave; two signatures, each with its own line and
    // date. The More button is not left pressed while the report shows.
    void reportIsFitToSign() {
        GsmHarness h;
        h.Connect();
        bool buttonDown = true;
        std::vector<int> headerRows;  // of each event table
        QStringList blocks;
        int smsWidth = 0;
        QTemporaryDir dir;
        // QUELVAR_REPORT_PDF=FILE keeps the report to look at.
        const QString kept = qEnvironmentVariable("QUELVAR_REPORT_PDF");
        const QString pdf = kept.isEmpty() ? dir.filePath("report.pdf") : kept;
        OnReport(h, [&](ui::SettingsReportDialog* dialog) {
            buttonDown = btnMore(*h.form)->isDown();
            QTextDocument* document = dialog->view->document();
            for (QTextFrame* frame : document->rootFrame()->childFrames()) {
                auto* table = qobject_cast<QTextTable*>(frame);
                if (table != nullptr && table->rows() > 1 &&
                    table->cellAt(0, quelvar::settings::kAlarmSmsColumn).isValid() &&
                    table->columns() == h.form->model.AlarmGrid().ColCount()) {
                    headerRows.push_back(table->format().headerRowCount());
                    const auto widths = table->format().columnWidthConstraints();
                    if (widths.size() > quelvar::settings::kAlarmSmsColumn) {
                        smsWidth =
                            static_cast<int>(widths[quelvar::settings::kAlarmSmsColumn].rawValue());
                    }
                }
            }
            for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
                blocks << block.text().trimmed();
            }
            dialog->SetFileNameAsk([pdf] { return pdf; });
            QTest::mouseClick(dialog->btnSavePdf, Qt::LeftButton);
            QTest::mouseClick(dialog->btnClose, Qt::LeftButton);
        });
        QVERIFY(QTest::qWaitFor([&] { return !blocks.isEmpty(); }, 5000));
        QVERIFY(!buttonDown);
        QVERIFY(!headerRows.empty());
        for (int rows : headerRows) {
            QCOMPARE(rows, 1);
        }
        QVERIFY2(smsWidth >= 30, qPrintable(QString::number(smsWidth)));
        QCOMPARE(blocks.count("Installer's signature"), 1);
        QCOMPARE(blocks.count("Customer's signature"), 1);
        QCOMPARE(blocks.count("Date"), 3);  // the report's own, and one beside each signature
        QVERIFY(QFile::exists(pdf));
    }
};

QTEST_MAIN(GsmPrintTest)
#include "GsmPrintTest.moc"
