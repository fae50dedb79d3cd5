#pragma once
// The site register from the command line: the sites, a site's history, a customer's fields,
// the export; and the register the device commands record their revisions in.

#include <optional>
#include <ostream>
#include <string>

#include "register/RegisterUse.h"

namespace quelvar::cli {

// The process's register, opened when first used (register.sqlite in the data folder).
sites::RegisterUse& CommandRegister();
// What the register has to say (a damaged file moved aside, backups taken in, a failure), once,
// on standard error.
void SayRegisterNews(std::ostream& err);

struct CustomerOptions {
    std::optional<std::string> name, address, phone, note;  // UTF-8, as typed
    bool Any() const { return name || address || phone || note; }
};

// `sites [TEXT]`: one line per site whose fields hold the text (ignoring case).
int RunSites(std::ostream& out, std::ostream& err, const std::string& filter);
// `history ACCOUNT [--changes]`: its revisions, newest first, with --changes each setting.
int RunHistory(std::ostream& out, std::ostream& err, const std::string& account, bool changes);
// `site ACCOUNT --name ... --address ... --phone ... --note ...`; without fields it prints them.
int RunSite(std::ostream& out, std::ostream& err, const std::string& account,
            const CustomerOptions& fields);
// `register export FILE.csv`.
int RunRegisterExport(std::ostream& out, std::ostream& err, const std::string& action,
                      const std::string& path);

}  // namespace quelvar::cli
