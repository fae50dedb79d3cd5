#include "cli/SitesCommand.h"

#include <cstdlib>
#include <fstream>

#include "cli/ExitCodes.h"
#include "io/FileReplace.h"
#include "register/RegisterText.h"
#include "settings/BackupStore.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

std::string Shown(std::string_view cp1250) {
    return settings::Cp1250ToPrintableUtf8(cp1250);
}

// Typed text to the register's code page; a character it cannot hold is refused.
std::optional<std::string> Typed(const std::string& utf8, const char* what, std::ostream& err) {
    std::optional<std::string> bytes = settings::Cp1250FromUtf8(utf8);
    if (!bytes) {
        err << what << " holds a character that Windows-1250 cannot hold: \"" << utf8 << "\"\n";
    }
    return bytes;
}

// The register, or the exit code when it cannot be used (its reason said).
bool Usable(std::ostream& err, const std::function<void(sites::SiteRegister&)>& use) {
    sites::RegisterUse& reg = CommandRegister();
    if (reg.File().empty()) {
        err << "No data folder is known (no HOME): there is no site register\n";
        return false;
    }
    const bool done = reg.Try(use);
    SayRegisterNews(err);
    return done;
}

}  // namespace

sites::RegisterUse& CommandRegister() {
    static sites::RegisterUse reg(sites::DefaultRegisterFile(std::getenv),
                                  settings::DefaultBackupFolder(std::getenv),
                                  sites::ThisRecorder("quelvar-gsm-cli " QUELVAR_VERSION));
    return reg;
}

void SayRegisterNews(std::ostream& err) {
    sites::RegisterUse& reg = CommandRegister();
    for (const std::string& line : {reg.TakeNotice(), reg.TakeProblem()}) {
        if (!line.empty()) {
            err << line << "\n";
        }
    }
}

int RunSites(std::ostream& out, std::ostream& err, const std::string& filter) {
    const std::optional<std::string> text = Typed(filter, "The text", err);
    if (!text) {
        return kExitUsage;
    }
    std::vector<sites::Site> found;
    if (!Usable(err, [&](sites::SiteRegister& reg) { found = reg.Sites(); })) {
        return kExitBadFile;
    }
    int shown = 0;
    for (const sites::Site& site : found) {
        if (!sites::SiteMatches(site, *text)) {
            continue;
        }
        out << Shown(site.accountId) << "\t" << Shown(site.name) << "\t" << Shown(site.address)
            << "\t" << (site.lastChange ? sites::ShownTime(*site.lastChange) : "-") << "\t"
            << Shown(site.firmware) << "\t" << site.revisions << " revisions\n";
        ++shown;
    }
    if (shown == 0) {
        err << (text->empty() ? "No sites in the register\n"
                              : "No site holds \"" + filter + "\"\n");
    }
    return kExitOk;
}

int RunHistory(std::ostream& out, std::ostream& err, const std::string& account, bool changes) {
    const std::optional<std::string> id = Typed(account, "The account ID", err);
    if (!id) {
        return kExitUsage;
    }
    std::vector<sites::Revision> revisions;
    std::vector<std::vector<sites::SettingChange>> changed;
    const bool done = Usable(err, [&](sites::SiteRegister& reg) {
        revisions = reg.History(*id);
        for (const sites::Revision& revision : revisions) {
            changed.push_back(changes ? reg.Changes(revision.id)
                                      : std::vector<sites::SettingChange>{});
        }
    });
    if (!done) {
        return kExitBadFile;
    }
    if (revisions.empty()) {
        err << "The register knows no account ID " << account << "\n";
        return kExitBadFile;
    }
    for (std::size_t i = 0; i < revisions.size(); ++i) {
        out << Shown(sites::HistoryLine(revisions[i])) << "\n";
        for (const sites::SettingChange& change : changed[i]) {
            out << "    " << sites::ChangeLine(change) << "\n";
        }
    }
    return kExitOk;
}

int RunSite(std::ostream& out, std::ostream& err, const std::string& account,
            const CustomerOptions& fields) {
    const std::optional<std::string> id = Typed(account, "The account ID", err);
    if (!id) {
        return kExitUsage;
    }
    sites::CustomerFields typed;
    for (const auto& [given, into, what] :
         {std::tuple{&fields.name, &typed.name, "--name"},
          std::tuple{&fields.address, &typed.address, "--address"},
          std::tuple{&fields.phone, &typed.phone, "--phone"},
          std::tuple{&fields.note, &typed.notes, "--note"}}) {
        if (*given) {
            *into = Typed(**given, what, err);
            if (!*into) {
                return kExitUsage;
            }
        }
    }
    std::optional<sites::Site> site;
    const bool done = Usable(err, [&](sites::SiteRegister& reg) {
        if (fields.Any()) {
            reg.UpdateCustomer(*id, typed);
        }
        site = reg.FindSite(*id);
    });
    if (!done) {
        return kExitBadFile;
    }
    if (!site) {
        err << "The register knows no account ID " << account
            << "; give --name, --address, --phone or --note to add it\n";
        return kExitBadFile;
    }
    out << "Account ID: " << Shown(site->accountId) << "\nCustomer: " << Shown(site->name)
        << "\nAddress: " << Shown(site->address) << "\nPhone: " << Shown(site->phone)
        << "\nNotes: " << Shown(site->notes) << "\nRevisions: " << site->revisions << "\n";
    return kExitOk;
}

int RunRegisterExport(std::ostream& out, std::ostream& err, const std::string& action,
                      const std::string& path) {
    if (action != "export" || path.empty()) {
        err << "Usage: quelvar-gsm-cli register export FILE.csv\n";
        return kExitUsage;
    }
    std::string csv;
    if (!Usable(err, [&](sites::SiteRegister& reg) { csv = sites::ExportCsv(reg); })) {
        return kExitBadFile;
    }
    if (const std::string error =
            io::ReplaceFileAtomically(path, csv, io::NewFileAccess::kOwnerOnly);
        !error.empty()) {
        err << "Unable to write to " << path << ": " << error << "\n";
        return kExitBadFile;
    }
    out << "Exported the site register to " << path << "\n";
    return kExitOk;
}

}  // namespace quelvar::cli
