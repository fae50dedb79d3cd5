#include "register/SiteRegister.h"

#include <array>
#include <utility>

namespace quelvar::sites {

namespace {

constexpr std::array<std::pair<RevisionKind, const char*>, 7> kKindNames = {{
    {RevisionKind::kRead, "read"},
    {RevisionKind::kWriteBack, "write-back"},
    {RevisionKind::kLoad, "load"},
    {RevisionKind::kRestore, "restore"},
    {RevisionKind::kPasswordChange, "password change"},
    {RevisionKind::kCommandWrite, "write"},
    {RevisionKind::kImportedBackup, "imported backup"},
}};

}  // namespace

const char* KindName(RevisionKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return "";
}

std::optional<RevisionKind> KindOfName(std::string_view name) {
    for (const auto& [kind, n] : kKindNames) {
        if (name == n) {
            return kind;
        }
    }
    return std::nullopt;
}

}  // namespace quelvar::sites
