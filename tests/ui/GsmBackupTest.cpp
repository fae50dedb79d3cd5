// Backups from the main window: before a write-back and a file load, the question when none can
// be written, and More > Backups... with Restore, by real clicks against the simulator.

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"
#include "settings/BackupStore.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/BackupsDialog.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
using quelvar::ui::StringGridView;
namespace settings = quelvar::settings;

namespace {

using quelvar::test::Click;

// The SIM card's PIN typed into the value editor.
void TypePin(GsmHarness& h, const QString& pin) {
    GsmHarness::OnModal([pin](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("edSetProp");
        field->selectAll();
        QTest::keyClicks(field, pin);
        QTest::keyClick(field, Qt::Key_Return);
    });
    Click(sgGPRSConnection(*h.form), 1, 0);
}

// Clicks the button of that text in the next message box and keeps the box's text. Every
// question here blocks the main window only: the simulated communicator's window stays usable.
void ClickInMessage(const QString& button, QString* text) {
    GsmHarness::OnModal([button, text](QWidget* box) {
        *text = box->findChild<QLabel*>("qt_msgbox_label")->text();
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        for (auto* candidate : box->findChildren<QAbstractButton*>()) {
            if (candidate->text().remove('&') == button) {
                QTest::mouseClick(candidate, Qt::LeftButton);
                return;
            }
        }
    });
}

settings::SettingValues FileValues(const std::filesystem::path& path) {
    const settings::SettingsReadResult read = settings::ReadSettingsFile(path.string());
    return read.content ? settings::ValuesOf(*read.content) : settings::SettingValues{};
}

}  // namespace

class GsmBackupTest : public QObject {
    Q_OBJECT

    settings::BackupStore Store() const {
        return settings::BackupStore(settings::DefaultBackupFolder(std::getenv));
    }
    settings::SettingValues Shown() const {
        return settings::ValuesOf(h->form->model, h->form->Controls().OpModeIndex());
    }

  private slots:
    void init() {
        data = TempDataHome();
        h = std::make_unique<GsmHarness>();
        h->Connect();
    }
    void cleanup() { h.reset(); }

    void eachWriteBackKeepsWhatTheDeviceHeldBeforeIt() {
        const settings::SettingValues atLogIn = Shown();
        TypePin(*h, "1111");
        const settings::SettingValues firstWrite = Shown();
        h->ClickWriteBack();
        QCOMPARE(h->form->Controls().StatusText(2), QString("Written and verified"));
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("1111"));
        // The second backup is of what the first write-back left, read again.
        TypePin(*h, "2222");
        h->ClickWriteBack();
        const std::vector<settings::BackupEntry> backups = Store().List();
        QCOMPARE(backups.size(), std::size_t{2});
        QVERIFY(FileValues(backups[1].path) == atLogIn);
        QVERIFY(FileValues(backups[0].path) == firstWrite);
        QCOMPARE(QString::fromStdString(backups[0].accountId), QString("12AB"));
        QCOMPARE(QString::fromStdString(backups[0].firmware), QString("2.14"));
    }

    void aFileLoadedIntoTheDeviceIsBackedUpFirst() {
        const settings::SettingValues atLogIn = Shown();
        settings::SettingsModel other;
        other.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
        const QString file = data->filePath("other.am2");
        QVERIFY(settings::SaveSettingsFile(other, 0, file.toStdString()).ok);
        h->form->SetFileNameAsk([file](bool) { return file; });
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->Parameter("UPHN2"), std::string("+3622"));
        QCOMPARE(Store().List().size(), std::size_t{1});
        QVERIFY(FileValues(Store().List()[0].path) == atLogIn);
        // The load was not read back: the write-back's backup reads the device again.
        const settings::SettingValues loaded = Shown();
        TypePin(*h, "6666");
        h->ClickWriteBack();
        const std::vector<settings::BackupEntry> backups = Store().List();
        QCOMPARE(backups.size(), std::size_t{2});
        QVERIFY(FileValues(backups[0].path) == loaded);
    }

    void noBackupAsksAndNoWritesNothing() {
        const std::string held = h->sim->Parameter("SIMPIN");
        const QString blocked = data->filePath("blocked");
        QFile(blocked).open(QIODevice::WriteOnly);  // a file where the folder belongs
        qputenv("XDG_DATA_HOME", blocked.toLocal8Bit());
        qputenv("LOCALAPPDATA", blocked.toLocal8Bit());
        TypePin(*h, "3333");
        QString question;
        GsmHarness::OnModal([&question](QWidget* box) {
            question = box->findChild<QLabel*>("qt_msgbox_label")->text();
            QTest::keyClick(box, Qt::Key_Return);  // the default: No
        });
        h->ClickWriteBack();
        QVERIFY2(question.endsWith("Write without a backup?"), qPrintable(question));
        QCOMPARE(h->sim->Parameter("SIMPIN"), held);
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kPendingImage);

        ClickInMessage("Yes", &question);
        h->ClickWriteBack();
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("3333"));
    }

    void restoreFromTheBackupsWindowPutsTheOldSettingsBackVerified() {
        const std::string held = h->sim->Parameter("SIMPIN");
        TypePin(*h, "4444");
        h->ClickWriteBack();
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("4444"));

        QString question;
        int differing = -1;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<quelvar::ui::BackupsDialog*>(widget);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowModality(), Qt::WindowModal);
            QCOMPARE(dialog->table->rowCount(), 1);
            QCOMPARE(dialog->table->item(0, 1)->text(), QString("12AB"));
            differing = dialog->table->item(0, 3)->text().toInt();
            ClickInMessage("Yes", &question);
            QTest::mouseClick(dialog->restoreButton, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h->form), actBackups(*h->form));
        QTRY_COMPARE(h->sim->Parameter("SIMPIN"), held);
        QCOMPARE(differing, 1);
        QVERIFY2(question.contains("account ID 12AB, firmware 2.14") &&
                     question.contains(QString::fromStdString(Store().List().back().time)),
                 qPrintable(question));
        // The restore says what it put back: the backup's time (to the minute) and account.
        const QString time = QString::fromStdString(Store().List().back().time).left(16);
        QCOMPARE(h->form->Controls().StatusText(2),
                 QString("Restored the backup of %1 (12AB) and verified").arg(time));
        QCOMPARE(Store().List().size(), std::size_t{2});  // the restore kept what it overwrote
    }

    // After a file with another account ID went into the device, the question names the
    // account the device holds now, not the one read at log-in; and nothing differing from the
    // device, the write-back button carries no mark.
    void restoreQuestionNamesTheAccountTheDeviceHoldsNow() {
        settings::SettingsModel other;
        other.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
        for (const settings::CatalogueTable& table : settings::AllTables()) {
            other.Rule(table.id).ForEachRow(
                [&](const std::string& caption, const std::string& key) {
                    if (key == settings::kAccountKey) {
                        other.Rule(table.id).SetValue(caption, "34CD");
                    }
                });
        }
        const QString file = data->filePath("site2.am2");
        QVERIFY(settings::SaveSettingsFile(other, 0, file.toStdString()).ok);
        h->form->SetFileNameAsk([file](bool) { return file; });
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->Parameter("ACCID"), std::string("34CD"));
        QCOMPARE(h->form->SaveToDevImage(), quelvar::ui::kSavedImage);

        QString question;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<quelvar::ui::BackupsDialog*>(widget);
            QVERIFY(dialog);
            ClickInMessage("No", &question);
            QTest::mouseClick(dialog->restoreButton, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h->form), actBackups(*h->form));
        QVERIFY2(question.contains("to the device logged in (account ID 34CD, firmware 2.14)"),
                 qPrintable(question));
        QCOMPARE(h->sim->Parameter("ACCID"), std::string("34CD"));
    }

    void openWithADeviceLoggedInComparesTheBackupWithTheWindow() {
        TypePin(*h, "7777");
        h->ClickWriteBack();
        int rows = -1;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<quelvar::ui::BackupsDialog*>(widget);
            QVERIFY(dialog);
            GsmHarness::OnModal([&rows](QWidget* compare) {
                rows = compare->findChild<QTableWidget*>()->rowCount();
                QTest::keyClick(compare, Qt::Key_Escape);
            });
            QTest::mouseClick(dialog->openButton, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h->form), actBackups(*h->form));
        QTRY_COMPARE(rows, 1);  // the PIN, as the window shows it and as the backup holds it
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("7777"));
    }

    void cancelledRestoreWritesNothing() {
        TypePin(*h, "5555");
        h->ClickWriteBack();
        QString question;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<quelvar::ui::BackupsDialog*>(widget);
            QVERIFY(dialog);
            GsmHarness::OnModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
            QTest::mouseClick(dialog->restoreButton, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h->form), actBackups(*h->form));
        QTest::qWait(50);
        QCOMPARE(h->sim->Parameter("SIMPIN"), std::string("5555"));
        QCOMPARE(Store().List().size(), std::size_t{1});
    }

  private:
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<GsmHarness> h;
};

QTEST_MAIN(GsmBackupTest)
#include "GsmBackupTest.moc"
