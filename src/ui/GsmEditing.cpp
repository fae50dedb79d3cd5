// Editing the grids: the value editor for validated cells, toggles for marks and the
// acknowledgement column, and the pending mark.

#include <QCursor>
#include <QScreen>
#include <algorithm>

#include "settings/AlarmTableImage.h"
#include "settings/InputTableImage.h"
#include "ui/ComboSet.h"
#include "ui/Gsm.h"
#include "ui/Passwd.h"
#include "ui/QtText.h"
#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

// Code, Part and Zone/User of an alarm entry: an asterisk or digits.
const std::string kEventCodeRule(settings::kEventCodeRule);
const QString kQualifierNote = "OK also sets E/R to E: a new event (or an opening)";

void ToggleMark(settings::StringGrid& grid, int col, int row) {
    grid.SetCell(col, row, grid.Cell(col, row).empty() ? "X" : "");
}

bool IsMarkColumn(int col, int firstCall, int firstSms) {
    return settings::InMarkBlock(col, firstCall) || settings::InMarkBlock(col, firstSms);
}

// The hint the value editor prefixes its message with: the grid's group's tip.
QString HintOf(StringGridView* grid) {
    return grid && grid->parentWidget() ? grid->parentWidget()->toolTip() : QString();
}

// The value editor for one event cell of the main window, placed by the grid; its modal result
// (1 OK, 2 Cancel, also when there is no editor).
int OpenEventCellEditor(TSetFrm* setFrm, QWidget& window, StringGridView* grid,
                        const std::string& rule, bool upperCase, int exactLength, int maxLength,
                        TSetFrm::Helper helper = TSetFrm::Helper::kNone, const QString& note = {});

settings::TTableRule* TableOf(settings::SettingsModel& model, StringGridView* grid) {
    if (!model.IsSetUp() || grid == nullptr) {
        return nullptr;
    }
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        if (&model.Grid(table.id) == &grid->Grid()) {
            return &model.Rule(table.id);
        }
    }
    return nullptr;
}

void EditAlarmCell(TSetFrm* setFrm, QWidget& window, StringGridView* grid) {
    settings::StringGrid& cells = grid->Grid();
    const int c = cells.Col();
    const int r = cells.Row();
    // A release over a header or label cell changes nothing: the selected cell is elsewhere.
    if (!grid->LastReleaseOnSelectedCell()) {
        return;
    }
    if (IsMarkColumn(c, settings::kAlarmFirstCallColumn, settings::kAlarmFirstSmsColumn)) {
        ToggleMark(cells, c, r);
    } else if (c == settings::kAlarmCodeColumn) {
        // A code entered into a row without a qualifier gets "E", as the editor says.
        const bool noQualifier = cells.Cell(settings::kAlarmQualifierColumn, r).empty();
        const int result = OpenEventCellEditor(setFrm, window, grid, kEventCodeRule, false, 3, 3,
                                               TSetFrm::Helper::kEventCode,
                                               noQualifier ? kQualifierNote : QString());
        if (result == 1 && cells.Cell(c, r).size() == 3 &&
            cells.Cell(settings::kAlarmQualifierColumn, r).empty()) {
            cells.SetCell(settings::kAlarmQualifierColumn, r, "E");
        }
    } else if (c == settings::kAlarmQualifierColumn) {
        const std::string now = cells.Cell(c, r);
        const bool noCode = cells.Cell(settings::kAlarmCodeColumn, r).empty();
        cells.SetCell(c, r, now == "E" ? "R" : (now == "R" && noCode ? "" : "E"));
    } else if (c == settings::kAlarmPartitionColumn) {
        OpenEventCellEditor(setFrm, window, grid, kEventCodeRule, false, 2, 2);
    } else if (c == settings::kAlarmZoneColumn) {
        OpenEventCellEditor(setFrm, window, grid, kEventCodeRule, false, 3, 3);
    } else if (c == settings::kAlarmSmsColumn) {
        OpenEventCellEditor(setFrm, window, grid, "", false, 0, settings::kSmsMaxLength,
                            TSetFrm::Helper::kSmsText);
    }
}

void EditInputEventCell(TSetFrm* setFrm, QWidget& window, StringGridView* grid) {
    settings::StringGrid& cells = grid->Grid();
    const int c = cells.Col();
    if (grid->LastReleaseOnSelectedCell()) {
        if (IsMarkColumn(c, settings::kInputFirstCallColumn, settings::kInputFirstSmsColumn)) {
            ToggleMark(cells, c, cells.Row());
        } else if (c == settings::kInputSmsColumn) {
            OpenEventCellEditor(setFrm, window, grid, "", false, 0, settings::kSmsMaxLength,
                                TSetFrm::Helper::kSmsText);
        }
    }
}

int OpenEventCellEditor(TSetFrm* setFrm, QWidget& window, StringGridView* grid,
                        const std::string& rule, bool upperCase, int exactLength, int maxLength,
                        TSetFrm::Helper helper, const QString& note) {
    if (setFrm == nullptr) {
        return 2;
    }
    settings::StringGrid& cells = grid->Grid();
    cells.SetEditingEnabled(false);
    const std::string header = cells.Cell(cells.Col(), 0);
    setFrm->SetTargetEvent(cells, cells.Col(), cells.Row(), ToCp1250(HintOf(grid)).value_or(""),
                           header, upperCase);
    setFrm->SetValueRule(rule);
    setFrm->SetExactLength(exactLength);
    setFrm->SetMaxLength(maxLength);
    setFrm->SetHelper(helper);
    setFrm->SetNote(note);
    // Placed at its final size: a helper makes it taller.
    PlaceEditorBy(window, setFrm, grid);
    return setFrm->ShowModal();
}

}  // namespace

void TFormMain::sgClick(StringGridView* grid) {
    settings::TTableRule* table = TableOf(model, grid);
    if (table == nullptr || sequenceRunning_) {
        return;
    }
    settings::StringGrid& cells = grid->Grid();
    const int col = cells.Col();
    const int row = cells.Row();
    if (grid == ui.sgPhnrs && col == settings::kAckColumn) {
        // The marks live on the device alone: no file holds them.
        if (!DeviceLoggedIn()) {
            return;
        }
        ToggleMark(cells, col, row);
    } else {
        const std::string caption = cells.Cell(0, row);
        const std::string rule = table->GetRule(caption);
        if (rule.empty()) {
            cells.SetEditingEnabled(true);
        } else if (setFrm_ != nullptr) {
            cells.SetEditingEnabled(false);
            setFrm_->SetTargetParam(cells, col, row, ToCp1250(HintOf(grid)).value_or(""), caption,
                                    table->GetUpperCase(caption));
            setFrm_->SetValueRule(rule);
            setFrm_->SetExactLength(table->GetExactLength(caption));
            setFrm_->SetMaxLength(table->GetMaxLength(caption));
            const std::string key = table->GetKey(caption);
            if (key == "Z1CID" || key == "Z2CID") {
                setFrm_->SetHelper(TSetFrm::Helper::kEventCode);
            }
            PlaceEditorBy(*this, setFrm_, grid);
            setFrm_->ShowModal();
        }
    }
    MarkEdited();
}

void TFormMain::sgGPRSConnectionKeyUp(StringGridView*, int) {
    if (!sequenceRunning_) {
        MarkEdited();
    }
}

void TFormMain::sgeAlarmListMouseUp(StringGridView* grid, Qt::MouseButton) {
    if (!sequenceRunning_) {
        EditAlarmCell(setFrm_, *this, grid);
        MarkEdited();
    }
}

void TFormMain::sgeInEvSetMouseUp(StringGridView* grid, Qt::MouseButton) {
    if (!sequenceRunning_) {
        EditInputEventCell(setFrm_, *this, grid);
        MarkEdited();
    }
}

}  // namespace quelvar::ui
