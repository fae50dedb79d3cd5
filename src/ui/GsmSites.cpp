// More > Sites...: the site register's sites and histories, and what is done with a revision
// chosen there.

#include "register/RegisterText.h"
#include "settings/SettingsCheck.h"
#include "settings/SettingsFile.h"
#include "ui/CompareDialog.h"
#include "ui/Gsm.h"
#include "ui/GsmMoreMenu.h"
#include "ui/QtText.h"
#include "ui/SitesDialog.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

// "the revision of 2026-12-10 10:06 (12AB)"
QString RevisionName(const sites::Revision& revision) {
    return QString("the revision of %1 (%2)")
        .arg(QString::fromStdString(sites::ShownTime(revision.when)),
             FromCp1250(revision.accountId));
}

// The revision's settings as a settings file; nothing (and why, said) when they cannot be read.
std::optional<settings::SettingsFileContent> RevisionContent(QWidget* parent, SiteRecords& sites,
                                                             const sites::Revision& revision) {
    std::optional<std::string> bytes;
    sites.Use().Try([&](sites::SiteRegister& reg) { bytes = reg.Settings(revision.id); });
    if (!bytes) {
        ShowWarning(parent, "The site register holds no settings of " + RevisionName(revision));
        return std::nullopt;
    }
    settings::SettingsReadResult read = settings::ParseSettingsFile(*bytes, "revision");
    if (!read.content) {
        ShowWarning(parent, QString::fromLocal8Bit(read.error.c_str()));
    }
    return std::move(read.content);
}

}  // namespace

void MoreMenu::ShowSites() {
    if (form_.SequenceRunning() || !form_.model.IsSetUp()) {
        return;
    }
    SitesDialog dialog(&form_, form_.Sites().Use(), form_.DeviceLoggedIn());
    ExecWindowModal(dialog);
    const std::vector<sites::Revision>& chosen = dialog.ChosenRevisions();
    switch (dialog.Chosen()) {
        case SitesDialog::Choice::kNone:
            return;
        case SitesDialog::Choice::kCompare:
            CompareRevisions(chosen[0], chosen[1]);
            return;
        case SitesDialog::Choice::kRestore:
            RestoreRevision(chosen[0]);
            return;
        case SitesDialog::Choice::kOpen:
            break;
    }
    const std::optional<settings::SettingsFileContent> content =
        RevisionContent(&form_, form_.Sites(), chosen[0]);
    if (!content) {
        return;
    }
    if (form_.DeviceLoggedIn()) {
        // The device's settings stay shown: the revision is compared with them instead.
        const sites::Revision shown = chosen[0];
        CompareDialog::Content compared;
        const auto differences = settings::CompareSettings(
            settings::ValuesOf(form_.model, ui_.OpModeIndex()), settings::ValuesOf(*content));
        compared.title = "Compare with " + RevisionName(shown);
        compared.secondSide = QString::fromStdString(sites::ShownTime(shown.when));
        compared.rows = DifferenceRows(differences, [this](const settings::SettingPlace& place) {
            return ui_.GroupCaptionOf(place, form_.model);
        });
        compared.summary =
            differences.empty()
                ? QString("The revision holds exactly what the window shows")
                : DifferenceSummary(static_cast<int>(differences.size()),
                                    static_cast<int>(settings::AllSettings().size()));
        CompareDialog view(&form_, compared);
        ExecWindowModal(view);
        return;
    }
    form_.ShowOfflineView(RevisionName(chosen[0]), *content);
}

void MoreMenu::CompareRevisions(const sites::Revision& newer, const sites::Revision& older) {
    const auto olderContent = RevisionContent(&form_, form_.Sites(), older);
    const auto newerContent =
        olderContent ? RevisionContent(&form_, form_.Sites(), newer) : std::nullopt;
    if (!newerContent) {
        return;
    }
    const auto differences = settings::CompareSettings(settings::ValuesOf(*olderContent),
                                                       settings::ValuesOf(*newerContent));
    CompareDialog::Content content;
    content.title = "Compare revisions of " + FromCp1250(newer.accountId);
    content.firstSide = QString::fromStdString(sites::ShownTime(older.when));
    content.secondSide = QString::fromStdString(sites::ShownTime(newer.when));
    content.rows = DifferenceRows(differences, [this](const settings::SettingPlace& place) {
        return ui_.GroupCaptionOf(place, form_.model);
    });
    content.summary = differences.empty()
                          ? QString("The two revisions hold the same settings")
                          : DifferenceSummary(static_cast<int>(differences.size()),
                                              static_cast<int>(settings::AllSettings().size()));
    CompareDialog dialog(&form_, content);
    ExecWindowModal(dialog);
}

void MoreMenu::RestoreRevision(const sites::Revision& revision) {
    const std::optional<settings::SettingsFileContent> content =
        RevisionContent(&form_, form_.Sites(), revision);
    if (!content || !form_.DeviceLoggedIn()) {
        return;
    }
    const std::string held = pending_.Held().AccountId();
    QString question = QString("Write %1 to the device logged in (%2)?")
                           .arg(RevisionName(revision), Owner(held, pending_.Held().Firmware()));
    if (held != revision.accountId) {
        question += QString("\n\nThe device's account ID %1 becomes %2.")
                        .arg(FromCp1250(held), FromCp1250(revision.accountId));
    }
    question += "\n\nWhat the device holds now is backed up first.";
    if (AskYesNoFirstNo(&form_, question) && form_.DeviceLoggedIn()) {
        form_.RestoreSettings(*content, RevisionName(revision), RevisionName(revision));
    }
}

}  // namespace quelvar::ui
