#include "ui/EditHistory.h"

#include <QUndoCommand>

#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

std::vector<settings::StringGrid*> GridsOf(settings::SettingsModel& model) {
    std::vector<settings::StringGrid*> grids;
    for (const settings::CatalogueTable& table : settings::AllTables()) {
        grids.push_back(&model.Grid(table.id));
    }
    grids.push_back(&model.AlarmGrid());
    grids.push_back(&model.InputGrid());
    return grids;
}

}  // namespace

class EditHistory::Step : public QUndoCommand {
  public:
    Step(EditHistory& history, std::vector<CellChange> changes, int modeBefore, int modeAfter,
         const QString& text)
        : history_(history),
          changes_(std::move(changes)),
          modeBefore_(modeBefore),
          modeAfter_(modeAfter) {
        setText(text);
    }
    void undo() override { history_.Apply(changes_, false, modeBefore_); }
    void redo() override {
        // Pushed after the edit was made: the first redo has nothing to do.
        if (!done_) {
            done_ = true;
            return;
        }
        history_.Apply(changes_, true, modeAfter_);
    }

  private:
    EditHistory& history_;
    std::vector<CellChange> changes_;
    int modeBefore_;
    int modeAfter_;
    bool done_ = false;
};

EditHistory::EditHistory(settings::SettingsModel& model, Hooks hooks, QObject* parent)
    : QObject(parent), model_(model), hooks_(std::move(hooks)), stack_(this) {}

EditHistory::State EditHistory::Current() const {
    State state;
    state.mode = hooks_.mode();
    for (const settings::StringGrid* grid : GridsOf(model_)) {
        std::vector<std::string> cells;
        for (int row = 0; row < grid->RowCount(); ++row) {
            for (int col = 0; col < grid->ColCount(); ++col) {
                cells.push_back(grid->Cell(col, row));
            }
        }
        state.cells.push_back(std::move(cells));
    }
    return state;
}

void EditHistory::Reset() {
    stack_.clear();
    baseline_.reset();
    if (model_.IsSetUp()) {
        baseline_ = Current();
    }
}

void EditHistory::Capture(const QString& what) {
    if (applying_ || !model_.IsSetUp()) {
        return;
    }
    State now = Current();
    if (!baseline_ || baseline_->cells.size() != now.cells.size()) {
        baseline_ = std::move(now);
        return;
    }
    std::vector<CellChange> changes;
    const std::vector<settings::StringGrid*> grids = GridsOf(model_);
    for (std::size_t g = 0; g < now.cells.size(); ++g) {
        const std::vector<std::string>& before = baseline_->cells[g];
        const std::vector<std::string>& after = now.cells[g];
        const int cols = grids[g]->ColCount();
        for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
            if (before[i] != after[i]) {
                changes.push_back({static_cast<int>(g), static_cast<int>(i) % cols,
                                   static_cast<int>(i) / cols, before[i], after[i]});
            }
        }
    }
    const int modeBefore = baseline_->mode;
    if (changes.empty() && modeBefore == now.mode) {
        return;
    }
    QString text = what;
    if (text.isEmpty()) {
        text = changes.empty() ? QString("operating mode") : "edit of " + Describe(changes.front());
    }
    baseline_ = std::move(now);
    stack_.push(new Step(*this, std::move(changes), modeBefore, baseline_->mode, text));
}

void EditHistory::Apply(const std::vector<CellChange>& changes, bool forward, int mode) {
    applying_ = true;
    const std::vector<settings::StringGrid*> grids = GridsOf(model_);
    for (const CellChange& change : changes) {
        grids[change.grid]->SetCell(change.col, change.row, forward ? change.after : change.before);
    }
    if (mode != hooks_.mode()) {
        hooks_.showMode(mode);
    }
    // Showing a mode may read the device's marks into the grid: that is the new starting point.
    baseline_ = Current();
    hooks_.applied();
    applying_ = false;
}

QString EditHistory::Describe(const CellChange& change) const {
    const settings::StringGrid& grid = *GridsOf(model_)[change.grid];
    const bool table = change.grid < static_cast<int>(settings::kTableCount);
    const std::string label = grid.Cell(0, change.row);
    // A table's value column needs no header; its other columns and the event grids do.
    if (table && change.col == 1) {
        return FromCp1250(label);
    }
    return FromCp1250(label) + " " + FromCp1250(grid.Cell(change.col, 0));
}

}  // namespace quelvar::ui
