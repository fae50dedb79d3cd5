// Saving and loading settings files from the main window, file names given without a dialog.

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name

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

// Clicks the button of that text in the next message box and keeps the box's text.
void ClickInMessage(const QString& button, QString* text) {
    GsmHarness::OnModal([button, text](QWidget* box) {
        *text = box->findChild<QLabel*>("qt_msgbox_label")->text();
        for (auto* candidate : box->findChildren<QAbstractButton*>()) {
            if (candidate->text() == button) {
                QTest::mouseClick(candidate, Qt::LeftButton);
                return;
            }
        }
    });
}

void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
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
        h->form->model.AlarmGrid().SetCell(9, 7, "Bet\xF6r\xE9s a " + std::string(148, 'x'));
        const auto before = AllCells(h->form->model);
        QTest::mouseClick(tbtnSave(*h->form), Qt::LeftButton);
        QVERIFY(QFile::exists(fileName));
        QVERIFY(h->form->Timer1.isActive());

        h->form->model.Grid(TableId::kSimCard).SetCell(1, 0, "9999");
        h->form->model.AlarmGrid().SetCell(9, 7, "");
        h->sim->ClearCommands();
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(AllCells(h->form->model), before);
        QCOMPARE(h->form->Controls().OpModeIndex(), 0);
        // The device holds exactly what the window shows, its mode too: nothing waits.
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);
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
        QString message;
        ClickInMessage("Load anyway", &message);
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QVERIFY2(message.contains("466 settings are missing"), qPrintable(message));
        QCOMPARE(h->form->Controls().OpModeIndex(), 1);
        QVERIFY(gbMonParams(*h->form)->isVisible());
        QVERIFY(!gbExtevents(*h->form)->isVisible());
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
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QVERIFY(message.contains("not a settings file"));
        QCOMPARE(AllCells(h->form->model), before);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
    }

    void unwritableTargetIsReportedWithItsName() {
        fileName = dir.filePath("folder.am2");
        QVERIFY(QDir(dir.path()).mkdir("folder.am2"));
        QString message;
        AnswerMessage(&message);
        QTest::mouseClick(tbtnSave(*h->form), Qt::LeftButton);
        QVERIFY2(message.startsWith("Unable to write to " + fileName), qPrintable(message));
        QVERIFY(QFileInfo(fileName).isDir());
    }

    // Cancel leaves window and device alone; "Load anyway" sends the file, and a text longer
    // than the device's field shows only what was sent.
    void fileWithFindingsAsksFirst() {
        fileName = dir.filePath("findings.am2");
        QByteArray bytes;
        {
            quelvar::settings::SettingsModel model;
            quelvar::settings::SettingsSaveResult saved =
                quelvar::settings::SaveSettingsFile(model, 0, fileName.toStdString());
            QVERIFY(saved.ok);
            QFile file(fileName);
            QVERIFY(file.open(QIODevice::ReadOnly));
            bytes = file.readAll();
        }
        bytes.replace("SIMPIN=\r\n", "SIMPIN=12\r\n");
        bytes.replace("extev2SMS \xFCzenet=\r\n",
                      "extev2SMS \xFCzenet=" + QByteArray(200, 'a') + "\r\n");
        bytes.replace("UPHN3=\r\n", "");
        WriteFile(fileName, bytes);
        const auto before = AllCells(h->form->model);
        h->sim->ClearCommands();

        QString message;
        ClickInMessage("Cancel", &message);
        h->form->tbtnOpenClick();
        QCOMPARE(AllCells(h->form->model), before);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
        QVERIFY2(message.contains("1 setting is missing"), qPrintable(message));
        QVERIFY2(message.contains("SIM kártya:\n  PIN kód: \"12\" is not 4 characters long"),
                 qPrintable(message));
        // Cut to fit the dialog.
        QVERIFY2(message.contains("  2, SMS üzenet: \"" + QString(59, 'a') + QChar(0x2026) +
                                  "\" is longer than 158 characters"),
                 qPrintable(message));

        ClickInMessage("Load anyway", &message);
        h->form->tbtnOpenClick();
        QVERIFY(h->sim->CommandCount() > 0);
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("12"));
        QCOMPARE(h->sim->Parameter("UPHN3"), std::string());
        QCOMPARE(h->form->model.AlarmGrid().Cell(9, 2), std::string(163, 'a'));
    }

    // A value too long for the device's command is not sent and its cell keeps what the device
    // holds: the load says so, and nothing waits to be written.
    void valueTooLongToSendLeavesNothingPending() {
        fileName = dir.filePath("long.am2");
        QVERIFY(quelvar::settings::SaveSettingsFile(h->form->model, 0, fileName.toStdString()).ok);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray bytes = file.readAll();
        file.close();
        const QByteArray held = "MS1=" + QByteArray::fromStdString(h->sim->Parameter("MS1"));
        QVERIFY(bytes.contains(held + "\r\n"));
        bytes.replace(held + "\r\n", "MS1=" + QByteArray(70, '1') + "\r\n");
        WriteFile(fileName, bytes);
        QStringList dialogs;
        quelvar::test::ModalScript answers([&](QWidget* box, int step) {
            dialogs << box->findChild<QLabel*>("qt_msgbox_label")->text();
            GsmHarness::ClickButton(box, step == 0 ? "Load anyway" : "OK");
        });
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(answers.Seen(), 2);
        QVERIFY2(dialogs.last().contains("too long to send to the device and were not sent: MS1"),
                 qPrintable(dialogs.join("\n---\n")));
        QVERIFY2(h->form->Controls().StatusText(2).startsWith(
                     "Loaded long.am2 into the device; 1 value too long to send; what it held is "
                     "in the backup of "),
                 qPrintable(h->form->Controls().StatusText(2)));
        QCOMPARE(h->sim->Parameter("MS1"), std::string(held.mid(4).toStdString()));
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);
    }

    // A clean file but for a key given twice: the dialog says which value is read, Cancel sends
    // nothing, and "Load anyway" sends the first value.
    void keyGivenTwiceIsShownBeforeTheLoad() {
        fileName = dir.filePath("twice.am2");
        quelvar::settings::SettingsModel model;
        model.Rule(TableId::kSimCard).SetValue(model.Grid(TableId::kSimCard).Cell(0, 0), "4321");
        QVERIFY(quelvar::settings::SaveSettingsFile(model, 0, fileName.toStdString()).ok);
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::Append));
        file.write("simpin=9999\r\n");
        file.close();
        h->sim->ClearCommands();

        QString message;
        ClickInMessage("Cancel", &message);
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
        QVERIFY2(message.contains("Given more than once (the first is read):\n  simpin: is given "
                                  "again on line 469 as \"9999\", which is ignored; line 2's "
                                  "\"4321\" is taken"),
                 qPrintable(message));

        ClickInMessage("Load anyway", &message);
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("4321"));
    }

    void loadWithoutADeviceSendsNothingAndSaysSo() {
        fileName = dir.filePath("offline.am2");
        quelvar::settings::SettingsModel model;
        model.Rule(TableId::kSimCard).SetValue(model.Grid(TableId::kSimCard).Cell(0, 0), "4321");
        QVERIFY(quelvar::settings::SaveSettingsFile(model, 1, fileName.toStdString()).ok);
        h->sim->Unplug();
        QVERIFY(h->WaitAttached(false));
        h->sim->ClearCommands();
        h->form->tbtnOpenClick();
        QCOMPARE(h->form->model.Grid(TableId::kSimCard).Cell(1, 0), std::string("4321"));
        QCOMPARE(h->form->Controls().OpModeIndex(), 1);
        QCOMPARE(h->form->Controls().StatusText(2),
                 QString("Loaded into the window; no device connected, nothing was sent"));
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
    }

    void cancelledDialogDoesNothing() {
        fileName.clear();
        h->sim->ClearCommands();
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QTest::mouseClick(tbtnSave(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->CommandCount(), std::size_t{0});
    }

  private:
    std::unique_ptr<GsmHarness> h;
    QTemporaryDir dir;
    QString fileName;
};

QTEST_MAIN(GsmSettingsFileTest)
#include "GsmSettingsFileTest.moc"
