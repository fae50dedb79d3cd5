// Settings files without a logged-in device, the comparison with a file, and the questions that
// keep edits from being lost, all driven by real clicks and keys.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <filesystem>
#include <fstream>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "settings/SettingsFile.h"
#include "ui/CompareDialog.h"
#include "ui/QtText.h"

namespace settings = quelvar::settings;
namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using settings::TableId;

namespace {

using quelvar::test::Click;

// Clicks the button of that text in the next modal dialog and keeps the dialog's text.
void ClickInModal(const QString& button, QString* text = nullptr) {
    GsmHarness::OnModal([button, text](QWidget* box) {
        if (text != nullptr) {
            if (auto* label = box->findChild<QLabel*>("qt_msgbox_label")) {
                *text = label->text();
            }
        }
        for (auto* candidate : box->findChildren<QAbstractButton*>()) {
            if (candidate->text() == button) {
                QTest::mouseClick(candidate, Qt::LeftButton);
                return;
            }
        }
        QFAIL(qPrintable("no button " + button));
    });
}

std::string Std(const QString& name) {
    return name.toStdString();
}

const std::string kFileNumber = "+36705550101";

// A Standalone file whose first phone number no device here holds.
void WriteSiteFile(const QString& name) {
    settings::SettingsModel model;
    model.Grid(TableId::kPhoneNumbers).SetCell(1, 1, kFileNumber);
    QVERIFY(settings::SaveSettingsFile(model, 0, Std(name)).ok);
}

settings::SettingsModel ReadBack(const QString& name) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(Std(name));
    settings::SettingsModel model;
    if (read.content) {
        settings::FillModelFromFile(*read.content, model);
    }
    return model;
}

void ActivateWindow(QWidget* window) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

}  // namespace

class GsmOfflineTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        site = dir.filePath("site.am2");
        QDir(site).removeRecursively();
        WriteSiteFile(site);
    }

    // A name whose bytes are no UTF-8 (Latin-1 from an old archive), as the command line gives
    // it: opened, and saved back to the same file, never to a name with a stand-in character.
    void fileNameThatIsNoUtf8IsOpenedAndSavedBack() {
#ifdef _WIN32
        QSKIP("Windows gives file names as UTF-16");
#endif
        for (const std::string& bytes : {std::string("caf\xC3\xA9"), std::string("caf\xE9"),
                                         std::string("\xF0\x9F\x93\x9E\xED\xA0\x80\xC0\xAF")}) {
            QCOMPARE(QByteArray::fromStdString(ui::ToLocalPath(ui::FromLocalPath(bytes))).toHex(),
                     QByteArray::fromStdString(bytes).toHex());
        }
        QCOMPARE(ui::FromLocalPath("caf\xC3\xA9"), QString::fromUtf8("café"));
        const std::string latin1 = Std(dir.path()) + "/caf\xE9.am2";
        const std::string plain = Std(site);
        {
            std::ifstream from(plain, std::ios::binary);
            std::ofstream to(latin1, std::ios::binary);
            to << from.rdbuf();
        }
        GsmHarness h(false);
        const QString name = ui::FromLocalPath(latin1);
        h.form->SetFileNameAsk([name](bool) { return name; });  // the name the dialog offers
        h.form->OpenSettingsFile(name);
        QVERIFY(gbMset(*h.form)->isVisible());
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), kFileNumber);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QTest::mouseClick(tbtnSave(*h.form), Qt::LeftButton);
        settings::SettingsModel saved;
        const settings::SettingsReadResult read = settings::ReadSettingsFile(latin1);
        QVERIFY(read.content);
        settings::FillModelFromFile(*read.content, saved);
        QCOMPARE(saved.AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3), std::string("X"));
        int named = 0;  // the one file, no second one under a stand-in name
        for (const auto& entry : std::filesystem::directory_iterator(Std(dir.path()))) {
            named += entry.path().filename().string().starts_with("caf") ? 1 : 0;
        }
        QCOMPARE(named, 1);
        std::filesystem::remove(latin1);  // Qt's own clean-up cannot name it
    }

    // The files last opened or saved come back under More > Recent files, newest first; one
    // chosen there opens as Open opens it.
    void recentFilesOffersTheLastOpenedAndOpensTheOneChosen() {
        // A list of its own: window tests that run beside this one open files too.
        const quelvar::test::ScopedDataHome ownList(Std(dir.filePath("data")));
        const QString other = dir.filePath("other.am2");
        WriteSiteFile(other);
        GsmHarness h(false);
        h.form->OpenSettingsFile(site);
        h.form->OpenSettingsFile(other);
        auto* recent = quelvar::test::Named<QMenu>(*h.form, "mnuRecent");
        GsmHarness::ChooseFromMenu(btnMore(*h.form), recent->menuAction());
        QTRY_VERIFY(QApplication::activePopupWidget() == recent);
        const QList<QAction*> items = recent->actions();
        QVERIFY(items.size() >= 2);
        QCOMPARE(items[0]->text(), QFileInfo(other).absoluteFilePath());
        QCOMPARE(items[1]->text(), QFileInfo(site).absoluteFilePath());
        QTest::mouseClick(recent, Qt::LeftButton, {}, recent->actionGeometry(items[1]).center());
        QTRY_COMPARE(h.form->Controls().StatusText(1), QString("site.am2"));
    }

    void fileWithoutLoggedInDeviceIsShownEditedAndSavedSendingNothing() {
        // Attached, but no tick has logged it in: the device must hear nothing.
        GsmHarness h;
        QVERIFY(h.WaitAttached());
        h.form->SetFileNameAsk([this](bool) { return site; });
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        // The open restarts the monitor, whose next tick would log the device in (and ask to
        // save first) while the window is being activated, as it slowly is under Wine.
        h.form->Timer1.stop();
        QVERIFY(gbMset(*h.form)->isVisible());
        QVERIFY(gbExtevents(*h.form)->isVisible());  // Standalone's layout
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), kFileNumber);
        QCOMPARE(h.form->Controls().StatusText(1), QString("site.am2"));
        for (QToolButton* deviceTool : {btnSaveToDev(*h.form), ToolButton1(*h.form)}) {
            QVERIFY(!deviceTool->isEnabled());
            QCOMPARE(deviceTool->toolTip(), QString("No device connected"));
        }
        QVERIFY(tbtnSave(*h.form)->isEnabled());
        QCOMPARE(tbtnOpen(*h.form)->toolTip(), QString("Open settings file"));  // only shows

        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QCOMPARE(h.form->model.AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3),
                 std::string("X"));
        ActivateWindow(h.form.get());
        QTest::keyClick(h.form.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(h.form->Controls().StatusText(2), QString("Saved to site.am2"));
        QCOMPARE(ReadBack(site).AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3),
                 std::string("X"));
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    // A device whose password was not given hears nothing of a file opened meanwhile.
    void fileOpenedAfterACancelledPasswordIsOnlyShown() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        GsmHarness::OnModal([](QWidget* dialog) {
            QTest::keyClick(dialog->findChild<QLineEdit*>(),
                            Qt::Key_Return);  // unfinished: cancels
        });
        h.Connect();
        h.form->SetFileNameAsk([this](bool) { return site; });
        h.sim->ClearCommands();
        QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), kFileNumber);
        QVERIFY(!btnSaveToDev(*h.form)->isEnabled());
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
        h.Tick();
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    void connectingWithUnsavedOfflineEditsAsksFirst_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("fileBecomesAFolder");
        QTest::addColumn<QString>("savedMark");
        QTest::newRow("save") << "Save" << false << "X";
        QTest::newRow("discard") << "Discard" << false << "";
        // The save fails: the edits go to another file instead of being replaced unsaved.
        QTest::newRow("save fails") << "Save" << true << "X";
    }
    void connectingWithUnsavedOfflineEditsAsksFirst() {
        QFETCH(QString, answer);
        QFETCH(bool, fileBecomesAFolder);
        QFETCH(QString, savedMark);
        GsmHarness h(false);
        const QString other = dir.filePath("other.am2");
        QFile::remove(other);
        h.form->SetFileNameAsk([&other](bool) { return other; });
        h.form->OpenSettingsFile(site);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        if (fileBecomesAFolder) {
            QVERIFY(QFile::remove(site) && QDir(dir.path()).mkdir("site.am2"));
        }
        QString question;
        QString error;
        GsmHarness::OnModal([&](QWidget* box) {
            question = box->findChild<QLabel*>("qt_msgbox_label")->text();
            if (fileBecomesAFolder) {
                ClickInModal("OK", &error);  // the failed save's message
            }
            for (auto* button : box->findChildren<QAbstractButton*>()) {
                if (button->text() == answer) {
                    QTest::mouseClick(button, Qt::LeftButton);
                }
            }
        });
        h.Connect();
        QCOMPARE(question, QString("Save your changes to site.am2?"));
        QCOMPARE(error.startsWith("Unable to write to"), fileBecomesAFolder);
        const QString saved = fileBecomesAFolder ? other : site;
        QCOMPARE(QString::fromStdString(
                     ReadBack(saved).AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3)),
                 savedMark);
        // Then the log-in: the device's settings replace the file's.
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), h.sim->Parameter("UPHN1"));
        QVERIFY(btnSaveToDev(*h.form)->isEnabled());
        QCOMPARE(btnSaveToDev(*h.form)->toolTip(), QString(ui::kWriteAllTip));
        QVERIFY(h.form->OfflineFile().isEmpty());
    }

    // "Discard" answers for the edits: after a log-in cancelled then, the next connection does
    // not ask about them again.
    void discardedEditsAreNotAskedAboutAgainAfterACancelledLogIn() {
        GsmHarness h(false);
        h.sim->SetParameter("PW", "1252");
        h.form->OpenSettingsFile(site);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QStringList questions;
        ModalScript script([&](QWidget* dialog, int) {
            if (auto* field = dialog->findChild<QLineEdit*>()) {
                QTest::keyClick(field, Qt::Key_Return);  // unfinished: cancels the log-in
                return;
            }
            questions << GsmHarness::MessageText(dialog);
            GsmHarness::ClickButton(dialog, "Discard");
        });
        h.Connect();
        QCOMPARE(questions, QStringList({"Save your changes to site.am2?"}));
        QVERIFY(!h.form->DeviceLoggedIn());
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        h.Tick();
        h.Connect();
        QCOMPARE(questions.count("Save your changes to site.am2?"), 1);
    }

    void deviceGoneWithEditsWaitingOffersASaveAndCtrlOStillOpens() {
        GsmHarness h;
        h.Connect();
        const QString rescued = dir.filePath("rescued.am2");
        QString asked = rescued;
        h.form->SetFileNameAsk([&asked](bool) { return asked; });
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        const std::string edited =
            h.form->model.AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3);
        h.sim->Unplug();
        QVERIFY(h.WaitAttached(false));
        ClickInModal("Save...");
        h.Tick();
        QVERIFY(!ToolBar1(*h.form)->isVisible());
        QCOMPARE(ReadBack(rescued).AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3), edited);

        asked = site;
        ActivateWindow(h.form.get());
        QTest::keyClick(h.form.get(), Qt::Key_O, Qt::ControlModifier);
        QVERIFY(ToolBar1(*h.form)->isVisible());
        QVERIFY(gbMset(*h.form)->isVisible());
        QCOMPARE(h.form->model.Grid(TableId::kPhoneNumbers).Cell(1, 1), kFileNumber);
    }

    void compareListsTheDifferingCellsAndLoadsOnRequest() {
        GsmHarness h;
        h.Connect();
        ui::TFormMain& form = *h.form;
        // The window's settings with four changed, and a key the tool does not know.
        const QString prepared = dir.filePath("prepared.am2");
        {
            QFile file(prepared);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[GSM]\r\nNOTE=1\r\n");
        }
        settings::SettingsModel changed;
        settings::FillModelFromFile(
            *settings::ParseSettingsFile(*settings::BuildSettingsFile({}, form.model, 0), "window")
                 .content,
            changed);
        changed.Grid(TableId::kPhoneNumbers).SetCell(1, 2, "+36701234000");
        changed.AlarmGrid().SetCell(settings::kAlarmSmsColumn, 5, "T\xFBz");
        changed.InputGrid().SetCell(5, 1, "Z1 teszt");
        QVERIFY(settings::SaveSettingsFile(changed, 1, Std(prepared)).ok);
        form.SetFileNameAsk([&prepared](bool) { return prepared; });

        const auto& phones = form.model.Grid(TableId::kPhoneNumbers);
        const auto& alarms = form.model.AlarmGrid();
        const auto& inputs = form.model.InputGrid();
        using ui::FromCp1250;
        // An empty value is said, not left blank.
        const auto value = [](const std::string& text) {
            return text.empty() ? QString("(empty)") : FromCp1250(text);
        };
        const QStringList expected = {
            rgOpMode(form)->title() + "|SMODE||Standalone|Transparent",
            gbPhnrs1(form)->title() + "|" + FromCp1250(phones.Cell(0, 2)) + "||" +
                value(phones.Cell(1, 2)) + "|+36701234000",
            Label2(form)->text() + "|5|" + FromCp1250(alarms.Cell(settings::kAlarmSmsColumn, 0)) +
                "|" + value(alarms.Cell(settings::kAlarmSmsColumn, 5)) + "|" +
                QString::fromUtf8("Tűz (not in the GSM alphabet: ű)"),
            gbIntevents(form)->title() + "|" + FromCp1250(inputs.Cell(0, 1)) + "|" +
                FromCp1250(inputs.Cell(5, 0)) + "|" + value(inputs.Cell(5, 1)) +
                QString::fromUtf8(" (not in the GSM alphabet: á)|Z1 teszt"),
        };
        QStringList rows;
        QString summary;
        QString findings;
        GsmHarness::OnModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<ui::CompareDialog*>(modal);
            QVERIFY(dialog != nullptr);
            for (int r = 0; r < dialog->table->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < 5; ++c) {
                    cells << dialog->table->item(r, c)->text();
                }
                rows << cells.join("|");
            }
            summary = dialog->summary->text();
            findings = dialog->findings->text();
            QCOMPARE(dialog->windowTitle(), QString("Compare with file"));
            QCOMPARE(dialog->table->horizontalHeaderItem(4)->text(), QString("prepared.am2"));
            QTest::mouseClick(dialog->loadButton, Qt::LeftButton);
        });
        h.sim->ClearCommands();
        GsmHarness::ChooseFromMenu(btnMore(form), actCompare(form));
        QCOMPARE(rows, expected);
        QCOMPARE(summary, QString("4 of 467 settings differ; the acknowledgement marks are in no "
                                  "settings file, not compared"));
        QVERIFY2(findings.contains("NOTE"), qPrintable(findings));
        // "Load this file" loaded it as Open does: sent, the mode only selected.
        QCOMPARE(h.sim->Parameter("UPHN2"), std::string("+36701234000"));
        QCOMPARE(form.Controls().OpModeIndex(), 1);
        QCOMPARE(h.sim->Parameter("SMODE"), std::string("Standalone"));
        QCOMPARE(form.SaveToDevImage(), ui::kPendingImage);  // the mode waits to be written
        QVERIFY2(form.Controls().StatusText(2).startsWith(
                     "Loaded prepared.am2 into the device; what it held "
                     "is in the backup of "),
                 qPrintable(form.Controls().StatusText(2)));

        GsmHarness::OnModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<ui::CompareDialog*>(modal);
            QVERIFY(dialog != nullptr);
            summary = dialog->summary->text();
            rows = QStringList{QString::number(dialog->table->rowCount())};
            QTest::mouseClick(dialog->closeButton, Qt::LeftButton);
        });
        h.sim->ClearCommands();
        GsmHarness::ChooseFromMenu(btnMore(form), actCompare(form));
        QCOMPARE(summary, QString("The file holds exactly what the window shows; the "
                                  "acknowledgement marks are in no settings file, not compared"));
        QCOMPARE(rows, QStringList{"0"});
        QCOMPARE(h.sim->CommandCount(), std::size_t{0});
    }

    void closingWithEditsWaitingAsks_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closed");
        QTest::newRow("cancel") << "Cancel" << false;
        QTest::newRow("close") << "Close" << true;
    }
    void closingWithEditsWaitingAsks() {
        QFETCH(QString, answer);
        QFETCH(bool, closed);
        GsmHarness h;
        h.Connect();
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QString question;
        ClickInModal(answer, &question);
        h.form->close();
        QCOMPARE(question, QString("1 setting differs from what the device holds and will be lost. "
                                   "Close anyway?"));
        QCOMPARE(h.form->isVisible(), !closed);
    }

    void toolTipsNameTheActionsAndShowClippedText() {
        GsmHarness h;
        h.Connect();
        const std::pair<QToolButton*, QString> tips[] = {
            {tbtnOpen(*h.form), "Open a settings file and write it to the device"},
            {tbtnSave(*h.form), "Save settings file"},
            {btnSaveToDev(*h.form), "Write all settings to the device"},
            {ToolButton1(*h.form), "Change the device password"},
            {btnMore(*h.form), "More"},
        };
        // The progress bar, empty between sequences, says what it is for.
        QCOMPARE(pb1(*h.form)->toolTip(), QString("Progress of the exchange with the device"));
        int left = -1;
        for (const auto& [button, tip] : tips) {
            QCOMPARE(button->toolTip(), tip);
            // Side by side in this order, all within the tool bar.
            QVERIFY(button->isVisible());
            QVERIFY(button->geometry().left() > left);
            QVERIFY(button->geometry().right() < ToolBar1(*h.form)->width());
            left = button->geometry().left();
        }
        // A long SMS text is cut by its column and shows whole; a partition fits and shows
        // nothing (a code would show its name).
        ui::StringGridView* grid = sgeAlarmList(*h.form);
        const std::string text = "Bet\xF6r\xE9s " + std::string(140, 'x');
        h.form->model.AlarmGrid().SetCell(settings::kAlarmSmsColumn, 1, text);
        // A tip once shown fades out slowly, so the cell without one goes first.
        const std::pair<int, QString> cells[] = {{settings::kAlarmPartitionColumn, QString()},
                                                 {settings::kAlarmSmsColumn, ui::FromCp1250(text)}};
        for (const auto& [col, shown] : cells) {
            const QPoint at = grid->CellRect(col, 1).center();
            QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
            QApplication::sendEvent(grid->viewport(), &help);
            QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), shown);
        }
    }

  private:
    QTemporaryDir dir;
    QString site;
};

QTEST_MAIN(GsmOfflineTest)
#include "GsmOfflineTest.moc"
