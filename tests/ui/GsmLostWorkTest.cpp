// Edits that must not be lost: the operating mode as an edit, the close question, the save
// dialog over an existing file, and moving through the grids, all by real clicks and keys.

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "GsmHarness.h"
#include "settings/AlarmTableImage.h"
#include "settings/SettingsFile.h"
#include "ui/CompareDialog.h"
#include "ui/DeviceLogWindow.h"
#include "ui/QtText.h"
#include "ui/SettingsReportDialog.h"

namespace settings = quelvar::settings;
namespace ui = quelvar::ui;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using quelvar::test::ModalScript;
using settings::TableId;

namespace {

const std::string kFileNumber = "+36705550101";

using quelvar::test::Click;

// On the radio button's circle, where a click selects it.
void ClickItem(QWidget* item) {
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(7, item->height() / 2));
}

void WriteFile(const QString& name, int mode) {
    settings::SettingsModel model;
    model.Grid(TableId::kPhoneNumbers).SetCell(1, 1, kFileNumber);
    QVERIFY(settings::SaveSettingsFile(model, mode, name.toStdString()).ok);
}

std::optional<settings::SettingsFileContent> ReadBack(const QString& name) {
    return settings::ReadSettingsFile(name.toStdString()).content;
}

// Opens the file with the Open button, the file name given without a dialog.
void OpenWithButton(GsmHarness& h, const QString& name) {
    h.form->SetFileNameAsk([name](bool) { return name; });
    QTest::mouseClick(tbtnOpen(*h.form), Qt::LeftButton);
    h.form->SetFileNameAsk({});
}

// A ModalScript action for the real save dialog: notes the name it offers, types `name` (no
// suffix) and presses Enter; a question about replacing a file is noted and answered No, and
// the dialog is then refused.
std::function<void(QWidget*, int)> TypeInSaveDialog(const QString& name, QString* offered,
                                                    QString* replaceQuestion) {
    return [=](QWidget* modal, int step) {
        if (step == 0) {
            auto* field = modal->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(qobject_cast<QFileDialog*>(modal) != nullptr && field != nullptr);
            *offered = field->text();
            // Typed, the completer's popup would take the keys that follow.
            field->setText(name);
            QTest::keyClick(field, Qt::Key_Return);
            if (modal->isVisible()) {
                QTest::keyClick(modal, Qt::Key_Escape);
            }
        } else if (step == 1) {
            *replaceQuestion = GsmHarness::MessageText(modal);
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        }
    };
}

// Runs `save` with the "Save as" button of the window that writes files of that suffix: the
// settings report's PDF or the device log's CSV, each opened from the More menu.
void WithSaveButton(GsmHarness& h, const QString& suffix,
                    const std::function<void(QPushButton*)>& save) {
    if (suffix == "pdf") {
        bool ran = false;
        GsmHarness::OnModal([&](QWidget* modal) {
            auto* report = qobject_cast<ui::SettingsReportDialog*>(modal);
            QVERIFY(report != nullptr);
            save(report->btnSavePdf);
            ran = true;
        });
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actPrintSettings(*h.form));
        QVERIFY(QTest::qWaitFor([&] { return ran; }, 5000));
    } else {
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actDeviceLog(*h.form));
        QVERIFY(QTest::qWaitFor([&] { return OpenDeviceLogWindow(*h.form) != nullptr; }, 2000));
        save(OpenDeviceLogWindow(*h.form)->btnSaveCsv);
    }
}

}  // namespace

class GsmLostWorkTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        site = dir.filePath("site.am2");
        QFile::remove(site);
        WriteFile(site, 0);
    }

    // A mode clicked after log-in waits to be written like any edit; closing counts it, and
    // clicking back leaves nothing to lose.
    void modeClickedWithADeviceMarksPendingAndIsCountedOnClose() {
        GsmHarness h;
        h.Connect();
        QCOMPARE(h.form->SaveToDevImage(), ui::kSavedImage);
        ClickItem(ModeButton(*h.form, 1));
        QCOMPARE(h.form->SaveToDevImage(), ui::kPendingImage);
        QString question;
        QString preferred;
        {
            ModalScript script([&](QWidget* box, int) {
                question = GsmHarness::MessageText(box);
                preferred = static_cast<QMessageBox*>(box)->defaultButton()->text();
                GsmHarness::ClickButton(box, "Cancel");
            });
            h.form->close();
            QVERIFY(h.form->isVisible());
        }
        QCOMPARE(question,
                 QString("1 setting differs from what the device holds and will be lost. Close "
                         "anyway?"));
        QCOMPARE(preferred, QString("Cancel"));  // Enter loses nothing

        ClickItem(ModeButton(*h.form, 0));
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        ModalScript none([&](QWidget* box, int) {
            QFAIL(qPrintable("nothing to lose, nothing to ask: " + GsmHarness::MessageText(box)));
        });
        h.form->close();
        QVERIFY(!h.form->isVisible());
        QCOMPARE(h.sim->Parameter("SMODE"), std::string("Standalone"));
    }

    // A file of the other mode loaded into the device: the mode is only shown, so it waits.
    void fileOfTheOtherModeLoadedIntoTheDeviceMarksPending() {
        const QString transparent = dir.filePath("transparent.am2");
        WriteFile(transparent, 1);
        GsmHarness h;
        h.Connect();
        OpenWithButton(h, transparent);
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QCOMPARE(h.form->SaveToDevImage(), ui::kPendingImage);
        // Open overwrote the device at once: it says so, and where the old settings went.
        QCOMPARE(tbtnOpen(*h.form)->toolTip(),
                 QString("Open a settings file and write it to the device"));
        const QString status = h.form->Controls().StatusText(2);
        QVERIFY2(QRegularExpression("^Loaded transparent\\.am2 into the device; what it held is in "
                                    "the backup of \\d\\d:\\d\\d \\(More > Backups\\.\\.\\.\\)$")
                     .match(status)
                     .hasMatch(),
                 qPrintable(status));
        QCOMPARE(h.sim->Parameter("UPHN1"), kFileNumber);
    }

    void closingTheOfflineViewOffersToSave_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("save") << "Save" << true << true;
        QTest::newRow("discard") << "Discard" << true << false;
        QTest::newRow("cancel") << "Cancel" << false << false;
    }
    void closingTheOfflineViewOffersToSave() {
        QFETCH(QString, answer);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        GsmHarness h(false);
        OpenWithButton(h, site);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QString question;
        QString preferred;
        {
            ModalScript script([&](QWidget* box, int) {
                question = GsmHarness::MessageText(box);
                preferred = static_cast<QMessageBox*>(box)->defaultButton()->text();
                QVERIFY(GsmHarness::ClickButton(box, answer));
            });
            h.form->close();
        }
        QCOMPARE(question, QString("Save your changes to site.am2?"));
        QCOMPARE(preferred, QString("Save"));
        QCOMPARE(h.form->isVisible(), !closed);
        const auto file = ReadBack(site);
        QVERIFY(file.has_value());
        settings::SettingsModel model;
        settings::FillModelFromFile(*file, model);
        QCOMPARE(model.AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3),
                 std::string(saved ? "X" : ""));
    }

    void closingAfterASuccessfulSaveAsksNothing() {
        GsmHarness h(false);
        OpenWithButton(h, site);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        h.form->SetFileNameAsk([this](bool) { return site; });
        QTest::mouseClick(tbtnSave(*h.form), Qt::LeftButton);
        ModalScript none([&](QWidget*, int) { QFAIL("saved: nothing to ask"); });
        h.form->close();
        QVERIFY(!h.form->isVisible());
    }

    // The save dialog offers the file's name, adds ".am2" and asks before it replaces a file.
    void saveDialogOffersTheNameAddsTheSuffixAndAsksBeforeReplacing() {
#ifdef _WIN32
        QSKIP("Windows shows its own save dialog, which has no Qt widgets to drive");
#endif
        GsmHarness h(false);
        OpenWithButton(h, site);
        Click(sgeAlarmList(*h.form), settings::kAlarmFirstCallColumn, 3);
        QString offered;
        QString replaceQuestion;
        {
            ModalScript script(TypeInSaveDialog("site", &offered, &replaceQuestion));
            QTest::mouseClick(tbtnSave(*h.form), Qt::LeftButton);
        }
        QCOMPARE(offered, QString("site.am2"));
        QVERIFY2(replaceQuestion.contains("already exists"), qPrintable(replaceQuestion));
        settings::SettingsModel original;
        settings::FillModelFromFile(*ReadBack(site), original);
        QCOMPARE(original.AlarmGrid().Cell(settings::kAlarmFirstCallColumn, 3), std::string());
        {
            ModalScript script([&](QWidget* modal, int) {
                auto* field = modal->findChild<QLineEdit*>("fileNameEdit");
                field->setText("copy");
                QTest::keyClick(field, Qt::Key_Return);
            });
            QTest::mouseClick(tbtnSave(*h.form), Qt::LeftButton);
        }
        QCOMPARE(h.form->Controls().StatusText(2), QString("Saved to copy.am2"));
        const auto copy = ReadBack(dir.filePath("copy.am2"));
        QVERIFY(copy.has_value());
    }

    // With a device's settings shown and no file yet, the dialog offers the account ID.
    void saveDialogOffersTheAccountIdBeforeAnyFile() {
#ifdef _WIN32
        QSKIP("Windows shows its own save dialog, which has no Qt widgets to drive");
#endif
        GsmHarness h;
        h.Connect();
        h.form->SetFileNameAsk({});
        QString offered;
        QString replaceQuestion;
        {
            ModalScript script(TypeInSaveDialog(dir.filePath("first"), &offered, &replaceQuestion));
            QTest::mouseClick(tbtnSave(*h.form), Qt::LeftButton);
        }
        QCOMPARE(offered, QString("12AB.am2"));
        QVERIFY(QFile::exists(dir.filePath("first.am2")));
    }

    // The report's PDF and the device log's CSV go through the same save dialog as the
    // settings: a name typed without a suffix gets that dialog's own, and a file of that name
    // is not replaced before a question, whose No leaves it as it was.
    void otherSaveDialogsAddTheirSuffixAndAskBeforeReplacing_data() {
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QByteArray>("contentStart");
        QTest::newRow("settings report") << "pdf" << QByteArray("%PDF");
        QTest::newRow("device log") << "csv" << QByteArray("time,code,name,text");
    }
    void otherSaveDialogsAddTheirSuffixAndAskBeforeReplacing() {
#ifdef _WIN32
        QSKIP("Windows shows its own save dialog, which has no Qt widgets to drive");
#endif
        QFETCH(QString, suffix);
        QFETCH(QByteArray, contentStart);
        QTemporaryDir saves;  // its own for each row: no file of one row in the other's way
        const QString old = saves.filePath("old." + suffix);
        const QByteArray oldBytes = "written before, not to be replaced\n";
        {
            QFile file(old);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(oldBytes), oldBytes.size());
        }
        GsmHarness h(false);
        OpenWithButton(h, site);

        QString offered;
        QString replaceQuestion;
        auto saveAs = [&](const QString& typedName) {
            return [&, typedName](QPushButton* button) {
                offered = "(no dialog)";
                ModalScript script(TypeInSaveDialog(typedName, &offered, &replaceQuestion));
                QTest::mouseClick(button, Qt::LeftButton);
            };
        };

        WithSaveButton(h, suffix, saveAs(saves.filePath("old")));
        QVERIFY(offered != "(no dialog)");
        {
            QFile file(old);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), oldBytes);
        }
        QVERIFY2(replaceQuestion.contains("old." + suffix + " already exists"),
                 qPrintable(replaceQuestion));
        QVERIFY(!QFile::exists(saves.filePath("old")));

        replaceQuestion.clear();
        WithSaveButton(h, suffix, saveAs(saves.filePath("new")));
        QVERIFY(offered != "(no dialog)");
        QCOMPARE(replaceQuestion, QString());  // nothing there to replace
        QVERIFY(!QFile::exists(saves.filePath("new")));
        QFile written(saves.filePath("new." + suffix));
        QVERIFY2(written.open(QIODevice::ReadOnly), qPrintable(written.fileName()));
        QCOMPARE(written.read(contentStart.size()), contentStart);
    }

    // The keys move the selection and nothing else; Space and Enter act as a click does.
    void movingThroughTheGridsChangesNothing() {
        GsmHarness h;
        h.sim->SetParameter("GACK", "0000");
        h.Connect();
        ui::StringGridView* phones = sgPhnrs(*h.form);
        Click(phones, settings::kAckColumn, 1);
        const auto& ack = h.form->model.Grid(TableId::kPhoneNumbers);
        QCOMPARE(ack.Cell(settings::kAckColumn, 1), std::string("X"));
        QTest::keyClick(phones, Qt::Key_Down);
        QTest::keyClick(phones, Qt::Key_Down);
        QTest::keyClick(phones, Qt::Key_Down);
        for (int row = 2; row <= 4; ++row) {
            QCOMPARE(ack.Cell(settings::kAckColumn, row), std::string());
        }
        QTest::keyClick(phones, Qt::Key_Space);
        QCOMPARE(ack.Cell(settings::kAckColumn, 4), std::string("X"));
        QTest::keyClick(phones, Qt::Key_Return);
        QCOMPARE(ack.Cell(settings::kAckColumn, 4), std::string());

        ui::StringGridView* alarms = sgeAlarmList(*h.form);
        const auto& grid = h.form->model.AlarmGrid();
        const std::string qualifier = grid.Cell(settings::kAlarmQualifierColumn, 2);
        Click(alarms, settings::kAlarmFirstCallColumn, 1);
        const std::string mark2 = grid.Cell(settings::kAlarmFirstCallColumn, 2);
        QTest::keyClick(alarms, Qt::Key_Down);
        QTest::keyClick(alarms, Qt::Key_Left);
        QTest::keyClick(alarms, Qt::Key_Right);
        QCOMPARE(grid.Cell(settings::kAlarmFirstCallColumn, 2), mark2);
        QCOMPARE(grid.Cell(settings::kAlarmQualifierColumn, 2), qualifier);
        QTest::keyClick(alarms, Qt::Key_Space);
        QCOMPARE(grid.Cell(settings::kAlarmFirstCallColumn, 2),
                 std::string(mark2.empty() ? "X" : ""));
    }

    // A mode chosen offline is an edit of the file: a device that comes asks to save it, and
    // the save holds the new mode.
    void modeChangedOfflineIsSavedBeforeADeviceLogsIn() {
        GsmHarness h(false);
        OpenWithButton(h, site);
        ClickItem(ModeButton(*h.form, 1));
        QCOMPARE(h.form->SaveToDevImage(), ui::kPendingImage);
        QString question;
        {
            ModalScript script([&](QWidget* box, int) {
                question = GsmHarness::MessageText(box);
                GsmHarness::ClickButton(box, "Save");
            });
            h.Connect();
        }
        QCOMPARE(question, QString("Save your changes to site.am2?"));
        QCOMPARE(ReadBack(site)->ModeIndex(), 1);
        QVERIFY(h.form->DeviceLoggedIn());
    }

    // A file of the other mode opened offline shows that mode as its own: nothing waits to be
    // saved, so a device that comes asks nothing.
    void fileOfTheOtherModeOpenedOfflineIsNoEdit() {
        GsmHarness h(false);
        const QString transparent = dir.filePath("transparent.am2");
        WriteFile(transparent, 1);
        QCOMPARE(h.form->Controls().OpModeIndex(), 0);
        OpenWithButton(h, transparent);
        QCOMPARE(h.form->Controls().OpModeIndex(), 1);
        QStringList questions;
        {
            ModalScript script(
                [&](QWidget* box, int) { questions << GsmHarness::MessageText(box); });
            h.Connect();
        }
        QCOMPARE(questions, QStringList());
        QVERIFY(h.form->DeviceLoggedIn());
    }

    // Compare lists the differences in the window's order (the file's puts the phone numbers
    // before the SMS forwarding): the left column top to bottom, then the monitoring.
    void compareListsTheGroupsInTheWindowsOrder() {
        const QString other = dir.filePath("other.am2");
        settings::SettingsModel model;
        model.Grid(TableId::kMonitoring).SetCell(1, 1, "12AB");
        model.Grid(TableId::kPhoneNumbers).SetCell(1, 2, "+36201112222");
        model.Grid(TableId::kSmsForwarding).SetCell(1, 0, "+36209998888");
        model.Grid(TableId::kPhoneNumbers).SetCell(1, 1, kFileNumber);
        QVERIFY(settings::SaveSettingsFile(model, 0, other.toStdString()).ok);
        GsmHarness h(false);
        OpenWithButton(h, site);
        h.form->SetFileNameAsk([other](bool) { return other; });
        QStringList groups;
        ModalScript script([&](QWidget* modal, int) {
            auto* dialog = qobject_cast<ui::CompareDialog*>(modal);
            QVERIFY(dialog != nullptr);
            for (int row = 0; row < dialog->table->rowCount(); ++row) {
                groups << dialog->table->item(row, 0)->text();
            }
        });
        GsmHarness::ChooseFromMenu(btnMore(*h.form), actCompare(*h.form));
        QVERIFY(QTest::qWaitFor([&] { return script.Seen() == 1; }, 3000));
        QCOMPARE(groups, QStringList({GroupBox3(*h.form)->title(), gbPhnrs1(*h.form)->title(),
                                      gbMonParams(*h.form)->title()}));
    }

  private:
    QTemporaryDir dir;
    QString site;
};

QTEST_MAIN(GsmLostWorkTest)
#include "GsmLostWorkTest.moc"
