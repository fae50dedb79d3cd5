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

namespace quelvar::ui {

namespace {

// Code, Part and Zone/User of an alarm entry: an asterisk or digits.
const std::string kEventCodeRule(settings::kEventCodeRule);

void ToggleMark(settings::StringGrid& grid, int col, int row) {
    grid.SetCell(col, row, grid.Cell(col, row).empty() ? "X" : "");
}

bool IsMarkColumn(int col, int firstCall, int firstSms) {
    return settings::InMarkBlock(col, firstCall) || settings::InMarkBlock(col, firstSms);
}

}  // namespace

void TFormMain::PlaceEditor(QWidget* editor, StringGridView* grid) {
    const QRect window = geometry();
    const QPoint offset = grid->mapTo(this, QPoint(0, 0));
    QPoint place = QCursor::pos();
    if (place.y() < window.top()) {
        place.setY(window.top() + offset.y());
    }
    if (place.y() > window.top() + window.height()) {
        place.setY(window.top() + offset.y() + grid->height() - 200);
    }
    if (place.x() < window.left()) {
        place.setX(window.left() + offset.x());
    }
    if (place.x() > window.left() + window.width()) {
        place.setX(window.left() + offset.x() + grid->width());
    }
    KeepOnScreen(editor, place);
}

void TFormMain::KeepOnScreen(QWidget* dialog, QPoint place) {
    // OK and Cancel must stay reachable wherever the window and the pointer are.
    const QRect screen = this->screen()->availableGeometry();
    dialog->winId();  // its frame is known once the window exists
    const QSize size = dialog->frameGeometry().size();
    place.setX(std::max(screen.left(), std::min(place.x(), screen.right() + 1 - size.width())));
    place.setY(std::max(screen.top(), std::min(place.y(), screen.bottom() + 1 - size.height())));
    dialog->move(place);
}

void TFormMain::PlacePasswordDialog() {
    const QSize size = passwdFrm_->frameGeometry().size();
    KeepOnScreen(passwdFrm_,
                 frameGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

void TFormMain::sgClick(StringGridView* grid) {
    settings::TTableRule* table = TableOf(grid);
    if (table == nullptr || sequenceRunning_) {
        return;
    }
    settings::StringGrid& cells = grid->Grid();
    const int col = cells.Col();
    const int row = cells.Row();
    if (grid == sgPhnrs && col == settings::kAckColumn) {
        // The marks live on the device alone: no file holds them.
        if (!DeviceLoggedIn()) {
            return;
        }
        ToggleMark(cells, col, row);
        ackMask.clear();
        for (int r = 1; r <= 4; ++r) {
            ackMask += cells.Cell(col, r) == "X" ? '1' : '0';
        }
    } else {
        const std::string caption = cells.Cell(0, row);
        const std::string rule = table->GetRule(caption);
        if (rule.empty()) {
            cells.SetEditingEnabled(true);
        } else if (setFrm_ != nullptr) {
            cells.SetEditingEnabled(false);
            PlaceEditor(setFrm_, grid);
            setFrm_->SetTargetParam(cells, col, row, ToCp1250(HintOf(grid)).value_or(""), caption,
                                    table->GetUpperCase(caption));
            setFrm_->SetValueRule(rule);
            setFrm_->SetExactLength(table->GetExactLength(caption));
            setFrm_->SetMaxLength(table->GetMaxLength(caption));
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
        EditAlarmCell(grid);
    }
}

void TFormMain::sgeInEvSetMouseUp(StringGridView* grid, Qt::MouseButton) {
    if (!sequenceRunning_) {
        EditInputEventCell(grid);
    }
}

void TFormMain::EditAlarmCell(StringGridView* grid) {
    settings::StringGrid& cells = grid->Grid();
    const int c = cells.Col();
    const int r = cells.Row();
    // A release over a header or label cell changes nothing: the selected cell is elsewhere.
    if (!grid->LastReleaseOnSelectedCell()) {
        MarkEdited();
        return;
    }
    if (IsMarkColumn(c, settings::kAlarmFirstCallColumn, settings::kAlarmFirstSmsColumn)) {
        ToggleMark(cells, c, r);
    } else if (c == settings::kAlarmCodeColumn) {
        const int result = OpenEventCellEditor(grid, kEventCodeRule, false, 3, 3);
        if (result == 1 && cells.Cell(c, r).size() == 3 &&
            cells.Cell(settings::kAlarmQualifierColumn, r).empty()) {
            cells.SetCell(settings::kAlarmQualifierColumn, r, "E");
        }
    } else if (c == settings::kAlarmQualifierColumn) {
        const std::string now = cells.Cell(c, r);
        const bool noCode = cells.Cell(settings::kAlarmCodeColumn, r).empty();
        cells.SetCell(c, r, now == "E" ? "R" : (now == "R" && noCode ? "" : "E"));
    } else if (c == settings::kAlarmPartitionColumn) {
        OpenEventCellEditor(grid, kEventCodeRule, false, 2, 2);
    } else if (c == settings::kAlarmZoneColumn) {
        OpenEventCellEditor(grid, kEventCodeRule, false, 3, 3);
    } else if (c == settings::kAlarmSmsColumn) {
        OpenEventCellEditor(grid, "", false, 0, settings::kSmsMaxLength);
    }
    MarkEdited();
}

void TFormMain::EditInputEventCell(StringGridView* grid) {
    settings::StringGrid& cells = grid->Grid();
    const int c = cells.Col();
    if (grid->LastReleaseOnSelectedCell()) {
        if (IsMarkColumn(c, settings::kInputFirstCallColumn, settings::kInputFirstSmsColumn)) {
            ToggleMark(cells, c, cells.Row());
        } else if (c == settings::kInputSmsColumn) {
            OpenEventCellEditor(grid, "", false, 0, settings::kSmsMaxLength);
        }
    }
    MarkEdited();
}

int TFormMain::OpenEventCellEditor(StringGridView* grid, const std::string& rule, bool upperCase,
                                   int exactLength, int maxLength) {
    if (setFrm_ == nullptr) {
        return 2;
    }
    settings::StringGrid& cells = grid->Grid();
    cells.SetEditingEnabled(false);
    PlaceEditor(setFrm_, grid);
    const std::string header = cells.Cell(cells.Col(), 0);
    setFrm_->SetTargetEvent(cells, cells.Col(), cells.Row(), ToCp1250(HintOf(grid)).value_or(""),
                            header, upperCase);
    setFrm_->SetValueRule(rule);
    setFrm_->SetExactLength(exactLength);
    setFrm_->SetMaxLength(maxLength);
    return setFrm_->ShowModal();
}

}  // namespace quelvar::ui
