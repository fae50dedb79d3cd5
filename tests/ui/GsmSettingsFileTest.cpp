// Saving and loading settings files from the main window, file names given without a dialog.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;

namespace {

std::vector<std::string> AllCells(quelvar::settings::SettingsModel& model) {
    std::vector<std::string> cells;
    for (const auto& table : quelvar::settings::AllTables()) {
        auto& grid = model.Grid(table.id);
        for (int row = 0; row < grid.RowCount(); ++row) {
            for (int col = 0; col < grid.ColCount(); ++col) {
                cells.push_back(grid.Cell(col, row));
            }
        }
    }
    for (auto* grid : {&model.AlarmGrid(), &model.InputGrid()}) {
        for (int row = 0; row < grid->RowCount(); ++row) {
            for (int col = 0; col < grid->ColCount(); ++col) {
                cells.push_back(grid->Cell(col, row));
            }
        }
    }
    return cells;
}

// Answers the next message box and keeps its text.
void AnswerMessage(QString* text) {
    GsmHarness::OnModal([text](QWidget* box) {
        *text = box->findChild<QLabel*>("qt_msgbox_label")->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
}

}  // namespace

class GsmSettingsFileTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        h = std::make_unique<GsmHarness>();
        h->Connect();
        h->form->SetFileNameAsk([this](bool) { return fileName; });
    }
    void cleanup() { h.reset(); }

    void saveThenLoadLeavesEverythingAsItWas() {
        fileName = dir.filePath("device.am2");
        h->form->model.AlarmGrid().SetCell(9, 7, "Bet\xF6r\xE9s a " + std::string(150, 'x'));
        const auto before = AllCells(h->form->model);
        QTest::mouseClick(h->form->tbtnSave, Qt::LeftButton);
        QVERIFY(QFile::exists(fileName));
        QVERIFY(h->form->Timer1.isActive());

        h->form->model.Grid(TableId::kSimCard).SetCell(1, 0, "9999");
        h->form->model.AlarmGrid().SetCell(9, 7, "");
        h->form->SetSaveToDevImage(4);
        h->sim->ClearCommands();
        QTest::mouseClick(h->form->tbtnOpen, Qt::LeftButton);
        QCOMPARE(AllCells(h->form->model), before);
        QCOMPARE(h->form->OpModeIndex(), 0);
        QCOMPARE(h->form->SaveToDevImage(), 4);
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("1234"));
        QCOMPARE(h->sim->CommandCount(), std::size_t{14 + 2 + 256 + 1 + 128});
    }

    void fileWithOnlyTheModeEmptiesAndSelectsTransparent() {
        fileName = dir.filePath("mode.am2");
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[GSM]\r\nSMODE=1\r\n");
        file.close();
        h->sim->ClearCommands();
        QTest::mouseClick(h->form->tbtnOpen, Qt::LeftButton);
        QCOMPARE(h->form->OpModeIndex(), 1);
        QVERIFY(h->form->gbMonParams->isVisible());
        QVERIFY(!h->form->gbExtevents->isVisible());
        QCOMPARE(h->form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), std::string());
        QCOMPARE(h->form->model.AlarmGrid().Cell(1, 1), std::string());
        QCOMPARE(h->form->model.AlarmGrid().Cell(0, 1), std::string("1"));
        const auto texts = h->CommandTexts();
        QCOMPARE(texts.size(), std::size_t{14});
        QCOMPARE(texts[0], std::string("SIMPIN="));
        QCOMPARE(h->sim->Parameter("SMODE"), std::string("Standalone"));  // the mode is not sent
    }

    void fileThatIsNoSettingsFileChangesNothing() {
        fileName = dir.filePath("notes.am2");
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[OTHER]\r\nUPHN1=+1\r\n");
        file.close();
        const auto before = AllCells(h->form->model);
        h->sim->ClearCommands();
        QString message;
        AnswerMessage(&message);
        QTest::mouseClick(h->form->tbtnOpen, Qt::LeftButton);
        QVERIFY(message.contains("not a settings file"));
        QCOMPARE(AllCells(h->form->model), before);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
    }

    void unwritableTargetIsReportedWithItsName() {
        fileName = dir.filePath("folder.am2");
        QVERIFY(QDir(dir.path()).mkdir("folder.am2"));
        QString message;
        AnswerMessage(&message);
        QTest::mouseClick(h->form->tbtnSave, Qt::LeftButton);
        QVERIFY2(message.startsWith("Unable to write to " + fileName), qPrintable(message));
        QVERIFY(QFileInfo(fileName).isDir());
    }

    void cancelledDialogDoesNothing() {
        fileName.clear();
        h->sim->ClearCommands();
        QTest::mouseClick(h->form->tbtnOpen, Qt::LeftButton);
        QTest::mouseClick(h->form->tbtnSave, Qt::LeftButton);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
    }

  private:
    std::unique_ptr<GsmHarness> h;
    QTemporaryDir dir;
    QString fileName;
};

QTEST_MAIN(GsmSettingsFileTest)
#include "GsmSettingsFileTest.moc"
