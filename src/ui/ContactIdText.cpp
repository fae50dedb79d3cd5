#include "ui/ContactIdText.h"

#include "settings/ContactId.h"
#include "ui/QtText.h"

namespace quelvar::ui {

QString EventMeaning(const std::string& line) {
    const std::optional<std::string> meaning = settings::ContactIdLineMeaning(line);
    return meaning ? FromCp1250(*meaning) : QString();
}

QString CodeMeaning(const std::string& code) {
    return FromCp1250(settings::ContactIdMeaning(code));
}

}  // namespace quelvar::ui
