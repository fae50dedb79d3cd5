// What the main window's controls show of the device's live state and of the last sequence.

#include <charconv>
#include <optional>

#include "link/ConnHIDCOM.h"
#include "ui/ContactIdText.h"
#include "ui/GsmControls.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

const QColor kGreen(0, 55, 0);
const QColor kRed(255, 0, 0);

void Show(QLabel* label, const std::string& text, std::optional<bool> quiet) {
    label->setText(FromCp1250(text));
    if (quiet) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, *quiet ? kGreen : kRed);
        label->setPalette(palette);
    }
}

std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void MainControls::SetStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < static_cast<int>(sb1Panels.size())) {
        sb1Panels[panel]->setText(text);
    }
}

QString MainControls::StatusText(int panel) const {
    if (panel < 0 || panel >= static_cast<int>(sb1Panels.size())) {
        return {};
    }
    return sb1Panels[panel]->text();
}

void MainControls::ShowStatus(const std::array<std::string, 5>& texts, const std::string& event) {
    const auto& [input1, input2, sim, signal, line] = texts;
    Show(stINPUT1, input1, input1 == "IDLE");
    Show(stINPUT2, input2, input2 == "IDLE");
    if (sim != "%null%") {
        Show(stPIN, sim, std::nullopt);
    }
    // A signal that is no whole number (none came yet, say) keeps its colour and stops
    // nothing else.
    const std::optional<int> level = WholeNumber(signal);
    Show(stGSM, signal, level ? std::optional<bool>(*level > 15) : std::nullopt);
    Show(stLINE, line, line == "ONHOOK");
    if (event != link::kNoEvent && !event.empty()) {
        lbEvents->addItem(FromCp1250(event));
        lbEvents->item(lbEvents->count() - 1)->setToolTip(EventMeaning(event));
        if (lbEvents->count() > kMaxEventLines) {
            delete lbEvents->takeItem(0);
        }
    }
}

void MainControls::ShowNoStatus() {
    for (QLabel* label : {stINPUT1, stINPUT2, stPIN, stGSM, stLINE}) {
        if (label->text() != "-") {
            Show(label, "-", true);
        }
    }
}

QString MainControls::GroupCaptionOf(const settings::SettingPlace& place,
                                     const settings::SettingsModel& model) const {
    switch (place.group) {
        case settings::SettingGroup::kTable:
            if (const StringGridView* view = ViewOf(model.Grid(place.table))) {
                if (const auto* box = qobject_cast<const QGroupBox*>(view->parentWidget())) {
                    return box->title();
                }
            }
            return FromCp1250(std::string(settings::TableOf(place.table).name));
        case settings::SettingGroup::kAlarmGrid:
            return Label2->text();
        case settings::SettingGroup::kInputGrid:
            return gbIntevents->title();
        case settings::SettingGroup::kMode:
            return rgOpMode->title();
    }
    return {};
}

void MainControls::ClearLastResult() {
    if (!StatusText(2).startsWith("The device ")) {
        SetStatusText(2, QString());
    }
}

}  // namespace quelvar::ui
