// The site register from the main window, by real clicks against the simulator: what each
// sequence records, the customer's status panel and report lines, and More > Sites... with its
// search, the customer's fields edited in place, and a revision restored onto the device.

#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "GsmHarness.h"
#include "register/SqliteRegister.h"
#include "settings/SettingsFile.h"
#include "ui/SitesDialog.h"

using quelvar::settings::TableId;
using quelvar::test::GsmHarness;
using namespace quelvar::test;  // the window's controls by name
namespace settings = quelvar::settings;
namespace sites = quelvar::sites;

namespace {

void TypePin(GsmHarness& h, const QString& pin) {
    GsmHarness::OnModal([pin](QWidget* dialog) {
        auto* field = dialog->findChild<QLineEdit*>("edSetProp");
        field->selectAll();
        QTest::keyClicks(field, pin);
        QTest::keyClick(field, Qt::Key_Return);
    });
    Click(sgGPRSConnection(*h.form), 1, 0);
}

QStringList Column(QTableWidget* table, int column, bool shownOnly = false) {
    QStringList cells;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (!shownOnly || !table->isRowHidden(r)) {
            cells << table->item(r, column)->text();
        }
    }
    return cells;
}

}  // namespace

class GsmSitesTest : public QObject {
    Q_OBJECT

    std::string RegisterFile() const {
        return (settings::DefaultBackupFolder(std::getenv).parent_path() / "register.sqlite")
            .string();
    }
    std::vector<sites::Revision> History() const {
        return sites::SqliteRegister(RegisterFile()).History("12AB");
    }

  private slots:
    void init() {
        data = TempDataHome();
        h = std::make_unique<GsmHarness>();
        h->Connect();
    }
    void cleanup() { h.reset(); }

    void eachSequenceOfTheWindowIsARevisionWithItsChanges() {
        TypePin(*h, "1111");
        h->ClickWriteBack();
        QCOMPARE(h->form->Controls().StatusText(2), QString("Written and verified"));

        settings::SettingsModel other;
        other.Rule(TableId::kPhoneNumbers).SetValue("T2", "+3622");
        other.Rule(TableId::kMonitoring)
            .SetValue(
                "\xDCgyf\xE9lk\xF3"
                "d:",
                "12AB");  // Ügyfélkód:
        const QString file = data->filePath("other.am2");
        QVERIFY(settings::SaveSettingsFile(other, 0, file.toStdString()).ok);
        h->form->SetFileNameAsk([file](bool) { return file; });
        const std::string heldT2 = h->sim->Parameter("UPHN2");
        QTest::mouseClick(tbtnOpen(*h->form), Qt::LeftButton);
        QCOMPARE(h->sim->Parameter("UPHN2"), std::string("+3622"));

        ModalScript script([](QWidget* dialog, int) {
            auto* field = dialog->findChild<QLineEdit*>();
            QTest::keyClicks(field, "9999");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QTest::mouseClick(ToolButton1(*h->form), Qt::LeftButton);
        QCOMPARE(h->form->Controls().StatusText(2), QString("Password changed"));

        const std::vector<sites::Revision> history = History();
        QCOMPARE(history.size(), std::size_t{4});
        QCOMPARE(history[0].kind, sites::RevisionKind::kPasswordChange);
        QCOMPARE(history[1].kind, sites::RevisionKind::kLoad);
        // The load's changes are counted from its backup: what the device held before it.
        bool t2 = false;
        for (const sites::SettingChange& change :
             sites::SqliteRegister(RegisterFile()).Changes(history[1].id)) {
            t2 = t2 || (change.key == "UPHN2" && change.before == heldT2 &&
                        change.after == std::string("+3622"));
        }
        QVERIFY(t2);
        QCOMPARE(history[2].kind, sites::RevisionKind::kWriteBack);
        QCOMPARE(history[2].outcome, std::string("verified"));
        QVERIFY2(history[2].summary.find(" -> 1111") != std::string::npos,
                 history[2].summary.c_str());
        QVERIFY(!history[2].backupPath.empty());
        QCOMPARE(history[3].kind, sites::RevisionKind::kRead);
        QVERIFY(history[0].usbPath == history[3].usbPath && !history[0].usbPath.empty());
        QCOMPARE(QString::fromStdString(history[3].program).section(' ', 0, 0),
                 QCoreApplication::applicationName());
    }

    void theCustomerIsNamedInItsPanelAfterTheLogIn() {
        QCOMPARE(sbCustomer(*h->form)->text(), QString("12AB"));
        // "Kovács Bt." in Windows-1250
        sites::SqliteRegister(RegisterFile())
            .UpdateCustomer("12AB", {"Kov\xE1"
                                     "cs Bt.",
                                     "Budapest", std::nullopt, std::nullopt});
        h->sim->Unplug();
        QVERIFY(h->WaitAttached(false));
        h->Tick();
        QCOMPARE(sbCustomer(*h->form)->text(), QString());
        h->Connect();
        QCOMPARE(sbCustomer(*h->form)->text(), QString("12AB Kov\u00E1cs Bt., Budapest"));
        // The design's panels keep their texts.
        QCOMPARE(h->form->Controls().StatusText(0), QString("USB: Connected"));
    }

    void sitesAreFoundEditedInPlaceAndARevisionIsRestored() {
        const std::string heldAtLogIn = h->sim->Parameter("SIMPIN");
        TypePin(*h, "4444");
        h->ClickWriteBack();
        sites::SqliteRegister(RegisterFile()).UpdateCustomer("99FF", {"Other", {}, {}, {}});

        QString question;
        GsmHarness::OnModal([&](QWidget* widget) {
            auto* dialog = qobject_cast<quelvar::ui::SitesDialog*>(widget);
            QVERIFY(dialog);
            QCOMPARE(Column(dialog->tblSites, 0), QStringList({"12AB", "99FF"}));
            QTest::keyClicks(dialog->edSearch, "oth");
            QCOMPARE(Column(dialog->tblSites, 0, true), QStringList({"99FF"}));
            dialog->edSearch->clear();
            QTest::keyClicks(dialog->edSearch, "12ab");
            QCOMPARE(Column(dialog->tblSites, 0, true), QStringList({"12AB"}));
            // The customer's name, kept as Enter is pressed.
            QTest::keyClicks(dialog->edName, "Kiss Kft.");
            QTest::keyClick(dialog->edName, Qt::Key_Return);
            QCOMPARE(dialog->tblSites->item(0, 1)->text(), QString("Kiss Kft."));
            QCOMPARE(Column(dialog->tblHistory, 2).size(), 2);
            QVERIFY(Column(dialog->tblHistory, 2)[0].startsWith("write-back: PIN k\u00F3d: "));
            QCOMPARE(Column(dialog->tblHistory, 3)[0], QString("verified"));
            // Two selected: Compare, not Open or Restore.
            dialog->tblHistory->selectAll();
            QVERIFY(dialog->btnCompare->isEnabled() && !dialog->btnRestore->isEnabled());
            dialog->tblHistory->selectRow(1);  // the log-in's read
            GsmHarness::OnModal([&](QWidget* box) {
                question = GsmHarness::MessageText(box);
                GsmHarness::ClickButton(box, "&Yes");
            });
            QTest::mouseClick(dialog->btnRestore, Qt::LeftButton);
        });
        GsmHarness::ChooseFromMenu(btnMore(*h->form), actSites(*h->form));
        QVERIFY(QTest::qWaitFor([&] { return !question.isEmpty(); }, 5000));
        QVERIFY2(question.startsWith("Write the revision of "), qPrintable(question));
        QVERIFY(QTest::qWaitFor([&] { return h->sim->Parameter("SIMPIN") == heldAtLogIn; }, 5000));
        QVERIFY2(h->form->Controls().StatusText(2).startsWith("Restored the revision of "),
                 qPrintable(h->form->Controls().StatusText(2)));
        QCOMPARE(History()[0].kind, sites::RevisionKind::kRestore);
        QCOMPARE(sites::SqliteRegister(RegisterFile()).FindSite("12AB")->name,
                 std::string("Kiss Kft."));
    }

  private:
    std::unique_ptr<QTemporaryDir> data;
    std::unique_ptr<GsmHarness> h;
};

QTEST_MAIN(GsmSitesTest)
#include "GsmSitesTest.moc"
