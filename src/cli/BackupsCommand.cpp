#include "cli/BackupsCommand.h"

#include "cli/ExitCodes.h"
#include "cli/SitesCommand.h"
#include "cli/WriteCommand.h"
#include "settings/BackupStore.h"
#include "settings/Cp1250.h"

namespace quelvar::cli {

namespace {

// The device's account ID, from a log-in of its own; the password given there is kept in
// `password` so that the write's log-in does not ask again. kExitOk, or the exit code.
int ReadAccountId(const CommandContext& context, std::optional<std::string>& password,
                  std::string& accountId, std::string& usbPath) {
    CommandContext asking = context;
    asking.askPassword = [&]() -> std::optional<std::string> {
        password = context.askPassword ? context.askPassword() : std::nullopt;
        return password;
    };
    CommandDevice device(asking);
    if (const int code = device.LogIn(); code != kExitOk) {
        return code;
    }
    const std::optional<std::string> answer =
        device.Session().Get(std::string(settings::kAccountKey));
    if (const int code = device.FaultExit(); code != kExitOk) {
        return code;
    }
    if (!answer) {
        context.err << "The communicator did not give its account ID; nothing was written\n";
        return kExitNoDevice;
    }
    accountId = *answer;
    usbPath = device.UsbPath();
    return kExitOk;
}

// The backup taken before the last write that left the device holding the account ID, by the
// register's revisions (so a write that changed the account ID is followed back); without
// one, the newest backup whose file holds the account ID (its "ACCID" decides: names cannot
// tell apart IDs that differ only in what a file name cannot hold).
std::optional<settings::BackupEntry> BackupBeforeLastWrite(const std::filesystem::path& folder,
                                                           const std::string& accountId,
                                                           const std::string& usbPath,
                                                           std::ostream& err) {
    std::optional<sites::Revision> write;
    CommandRegister().Try(
        [&](sites::SiteRegister& reg) { write = reg.LastWriteLeaving(accountId, usbPath); });
    SayRegisterNews(err);
    const settings::BackupStore store(folder);
    if (write) {
        for (const settings::BackupEntry& entry : store.List()) {
            if (entry.path == std::filesystem::path(write->backupPath)) {
                return entry;
            }
        }
    }
    return store.NewestHolding(accountId);
}

}  // namespace

int RunBackups(std::ostream& out, std::ostream& err, const BackupOptions& options,
               const std::optional<std::string>& account) {
    const settings::BackupStore store(options.folder);
    const std::vector<settings::BackupEntry> entries = store.List(account);
    for (const settings::BackupEntry& entry : entries) {
        out << entry.path.string() << "\t" << entry.time << "\t" << entry.accountId << "\t"
            << entry.firmware << "\n";
    }
    if (entries.empty()) {
        err << "No backups" << (account ? " of account ID " + *account : std::string()) << " in "
            << options.folder.string() << "\n";
    }
    return kExitOk;
}

int RunRestore(const CommandContext& context, const std::string& path,
               const std::optional<settings::SettingsFileContent>& content, bool force,
               const BackupOptions& backup, bool all) {
    if (!path.empty() && content) {
        return RunWrite(context, path, *content, force, backup, sites::RevisionKind::kRestore, all);
    }
    std::optional<std::string> password = context.password;
    std::string accountId;
    std::string usbPath;
    if (const int code = ReadAccountId(context, password, accountId, usbPath); code != kExitOk) {
        return code;
    }
    const std::string shownId = settings::Cp1250ToPrintableUtf8(accountId);
    const std::optional<settings::BackupEntry> entry =
        BackupBeforeLastWrite(backup.folder, accountId, usbPath, context.err);
    if (!entry) {
        context.err << "No backup of account ID " << shownId << " in " << backup.folder.string()
                    << "; nothing was written\n";
        return kExitBadFile;
    }
    const std::string newest = entry->path.string();
    settings::SettingsReadResult read = settings::ReadSettingsFile(newest);
    if (!read.content) {
        context.err << read.error << "\n";
        return kExitBadFile;
    }
    context.out << "Restoring " << newest << " (" << entry->time << ", account ID " << shownId
                << ", firmware " << entry->firmware << ")\n";
    CommandContext loggedIn = context;
    loggedIn.password = password;
    return RunWrite(loggedIn, newest, *read.content, force, backup, sites::RevisionKind::kRestore,
                    all);
}

}  // namespace quelvar::cli
