// Undo and redo of the grids' edits: Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, and the More menu's items
// that name what they undo. Undoing changes the window only and leaves the edit pending.

#include <QKeySequence>
#include <QMenu>

#include "ui/EditHistory.h"
#include "ui/Gsm.h"

namespace quelvar::ui {

std::string TFormMain::ackMask() const {
    if (!ackMarksKnown_) {
        return {};
    }
    const settings::StringGrid& phones = model.Grid(settings::TableId::kPhoneNumbers);
    std::string mask;
    for (int r = 1; r <= 4 && r < phones.RowCount(); ++r) {
        mask += phones.Cell(settings::kAckColumn, r) == "X" ? '1' : '0';
    }
    return mask;
}

void TFormMain::InstallEditHistory() {
    EditHistory::Hooks hooks;
    hooks.mode = [this] { return ui.OpModeIndex(); };
    hooks.showMode = [this](int mode) {
        // The layout reads the device's acknowledgement marks; undo keeps the window's.
        const std::string marks = ackMask();
        const bool known = ackMarksKnown_;
        ui.SelectOpMode(mode);
        ApplyModeLayout(mode == 0 ? Mode::kStandalone : Mode::kTransparent);
        settings::ShowAckMask(model, marks);
        ackMarksKnown_ = known;
    };
    hooks.applied = [this] { MarkEdited(); };
    ui.history = new EditHistory(model, std::move(hooks), this);
    // After the mode's own handler, so that the step holds the layout's changes too.
    connect(ui.rgOpModeItems, &QButtonGroup::idClicked, this, [this] { ui.history->Capture(); });

    QUndoStack& stack = ui.history->Stack();
    auto allowed = [this] { return !sequenceRunning_ && ui.gbMset->isVisible(); };
    connect(ui.actUndo, &QAction::triggered, this, [&stack, allowed] {
        if (allowed()) {
            stack.undo();
        }
    });
    connect(ui.actRedo, &QAction::triggered, this, [&stack, allowed] {
        if (allowed()) {
            stack.redo();
        }
    });
    for (QAction* action : {ui.actUndo, ui.actRedo}) {
        addAction(action);  // the shortcuts work while the menu is closed
    }
    connect(&stack, &QUndoStack::canUndoChanged, ui.actUndo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::canRedoChanged, ui.actRedo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::undoTextChanged, ui.actUndo, [this](const QString& text) {
        ui.actUndo->setText(text.isEmpty() ? "Undo" : "Undo " + text);
    });
    connect(&stack, &QUndoStack::redoTextChanged, ui.actRedo, [this](const QString& text) {
        ui.actRedo->setText(text.isEmpty() ? "Redo" : "Redo " + text);
    });
}

}  // namespace quelvar::ui
