#include "ui/FindingsDialog.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

#include "settings/Cp1250.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

// Longer values are cut, so the dialog stays narrower than the screen.
constexpr qsizetype kMaxShownValue = 60;

QString ShownValue(const settings::Finding& finding, QStringList* shortened) {
    const QString value = QString::fromStdString(settings::Cp1250ToPrintableUtf8(finding.value));
    if (value.size() <= kMaxShownValue) {
        return value;
    }
    if (shortened != nullptr) {
        *shortened << value;
    }
    return value.left(kMaxShownValue - 1) + QChar(0x2026);
}

// Row, column and the problem of one invalid value, as the window shows its place.
QString PlaceLine(const settings::SettingPlace& place, const settings::Finding& finding,
                  QStringList* shortened) {
    QStringList where;
    if (!place.rowCaption.empty()) {
        where << FromCp1250(place.rowCaption);
    }
    if (!place.columnHeader.empty()) {
        where << FromCp1250(settings::ColumnName(place));
    }
    if (where.isEmpty()) {
        where << FromCp1250(place.key);
    }
    return "  " + where.join(", ") + ": \"" + ShownValue(finding, shortened) + "\" " +
           QString::fromStdString(finding.problem);
}

}  // namespace

QString FindingsText(const QString& fileName, const std::vector<settings::Finding>& findings,
                     const GroupCaption& groupCaption, bool toDevice, QStringList* shortened) {
    int missing = 0;
    // Grouped by the group that shows them, groups in the order the file first names them.
    std::vector<std::pair<QString, QStringList>> groups;
    for (const settings::Finding& finding : findings) {
        if (finding.kind == settings::FindingKind::kMissing) {
            ++missing;
            continue;
        }
        if (finding.IsNote() || !finding.setting) {
            continue;
        }
        const settings::SettingPlace& place = settings::AllSettings()[*finding.setting];
        const QString caption = groupCaption(place);
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == caption; });
        if (group == groups.end()) {
            group = groups.insert(groups.end(), {caption, {}});
        }
        group->second << PlaceLine(place, finding, shortened);
    }
    QStringList lines;
    lines << QString("%1 is not a clean settings file.").arg(fileName);
    if (missing == 1) {
        lines << QString("1 setting is missing from it") +
                     (toDevice ? "; loading clears it on the device." : ".");
    } else if (missing > 1) {
        lines << QString("%1 settings are missing from it").arg(missing) +
                     (toDevice ? "; loading clears them on the device." : ".");
    }
    QStringList invalid;
    for (const auto& [caption, places] : groups) {
        invalid << caption + ":";
        invalid << places;
    }
    if (!invalid.isEmpty()) {
        lines << "These values could not have been set in this program:";
        qsizetype shown = std::min<qsizetype>(invalid.size(), kMaxFindingLines);
        // A group's caption never closes the list without a value under it.
        if (shown < invalid.size() && !invalid[shown - 1].startsWith("  ")) {
            --shown;
        }
        lines << invalid.mid(0, shown);
        if (invalid.size() > shown) {
            lines << QString("and %1 more").arg(invalid.size() - shown);
        }
    }
    QStringList repeated;
    for (const settings::Finding& finding : findings) {
        if (finding.kind == settings::FindingKind::kRepeated) {
            repeated << "  " + FromCp1250(finding.key) + ": " +
                            QString::fromStdString(finding.problem);
        }
    }
    if (!repeated.isEmpty()) {
        lines << "Given more than once (the first is read):";
        lines << repeated.mid(0, kMaxFindingLines);
        if (repeated.size() > kMaxFindingLines) {
            lines << QString("and %1 more").arg(repeated.size() - kMaxFindingLines);
        }
    }
    return lines.join("\n");
}

bool ConfirmLoadWithFindings(QWidget* parent, const QString& fileName,
                             const std::vector<settings::Finding>& findings,
                             const GroupCaption& groupCaption, bool toDevice) {
    QStringList shortened;
    QMessageBox box(QMessageBox::Warning, parent ? parent->windowTitle() : QString(),
                    FindingsText(fileName, findings, groupCaption, toDevice, &shortened),
                    QMessageBox::NoButton, parent);
    // The whole of each value cut short.
    box.setToolTip(PlainToolTip(shortened.join("\n")));
    QPushButton* load = box.addButton(kLoadAnyway, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton("Cancel", QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.setTextFormat(Qt::PlainText);  // the file's name and values, as they are
    ExecWindowModal(box);
    return box.clickedButton() == load;
}

}  // namespace quelvar::ui
