// Undo and redo of the grids' edits: Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, and the More menu's items
// that name what they undo. Undoing changes the window only and leaves the edit pending.

#include <QKeySequence>
#include <QMenu>

#include "ui/EditHistory.h"
#include "ui/Gsm.h"

namespace quelvar::ui {

std::string TFormMain::AckMaskShown() const {
    const settings::StringGrid& phones = model.Grid(settings::TableId::kPhoneNumbers);
    std::string mask;
    for (int r = 1; r <= 4 && r < phones.RowCount(); ++r) {
        mask += phones.Cell(settings::kAckColumn, r) == "X" ? '1' : '0';
    }
    return mask;
}

void TFormMain::InstallEditHistory() {
    EditHistory::Hooks hooks;
    hooks.mode = [this] { return OpModeIndex(); };
    hooks.showMode = [this](int mode) {
        // The layout reads the device's acknowledgement marks; undo keeps the window's.
        const std::string marks = AckMaskShown();
        SelectOpMode(mode);
        ApplyModeLayout(mode == 0 ? Mode::kStandalone : Mode::kTransparent);
        ackMask = settings::ShowAckMask(model, marks);
    };
    hooks.applied = [this] {
        // The acknowledgement marks are sent from the mask, so it follows the column.
        ackMask = AckMaskShown();
        MarkEdited();
    };
    history = new EditHistory(model, std::move(hooks), this);
    // After the mode's own handler, so that the step holds the layout's changes too.
    connect(rgOpModeItems, &QButtonGroup::idClicked, this, [this] { history->Capture(); });

    QUndoStack& stack = history->Stack();
    auto allowed = [this] { return !sequenceRunning_ && gbMset->isVisible(); };
    mnuMore->addSeparator();
    actUndo = mnuMore->addAction("Undo", this, [&stack, allowed] {
        if (allowed()) {
            stack.undo();
        }
    });
    actRedo = mnuMore->addAction("Redo", this, [&stack, allowed] {
        if (allowed()) {
            stack.redo();
        }
    });
    actUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {actUndo, actRedo}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setEnabled(false);
        addAction(action);  // the shortcuts work while the menu is closed
    }
    connect(&stack, &QUndoStack::canUndoChanged, actUndo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::canRedoChanged, actRedo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::undoTextChanged, actUndo, [this](const QString& text) {
        actUndo->setText(text.isEmpty() ? "Undo" : "Undo " + text);
    });
    connect(&stack, &QUndoStack::redoTextChanged, actRedo, [this](const QString& text) {
        actRedo->setText(text.isEmpty() ? "Redo" : "Redo " + text);
    });
    mnuMore->addSeparator();
    actBackups = mnuMore->addAction("Backups...", this, &TFormMain::ShowBackups);
}

}  // namespace quelvar::ui
