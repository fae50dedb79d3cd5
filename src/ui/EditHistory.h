#pragma once
// The window's undo history on Qt's undo framework. An edit is whatever changed in the grids
// and the operating mode since the last step: the window calls Capture when it marks an edit,
// and each step holds only the cells that changed, before and after. Undoing and redoing put
// cells and mode back and tell the window, which marks the edit as pending; nothing is sent.

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/Catalogue.h"

namespace quelvar::ui {

class EditHistory : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<int()> mode;          // the mode the window shows
        std::function<void(int)> showMode;  // selects a mode and its layout
        std::function<void()> applied;      // after an undo or redo
    };

    EditHistory(settings::SettingsModel& model, Hooks hooks, QObject* parent = nullptr);

    // A new history: no steps, the window as it is now the starting point.
    void Reset();
    // One step for whatever changed since the last one, named `what` ("load of site.am2") or
    // after the changed cell; nothing when nothing changed. Without a starting point yet, the
    // window as it is becomes one.
    void Capture(const QString& what = {});

    QUndoStack& Stack() { return stack_; }

    // A changed cell: grid index (the six tables in catalogue order, then the alarm and the
    // input grid), column, row, text before and after.
    struct CellChange {
        int grid = 0;
        int col = 0;
        int row = 0;
        std::string before;
        std::string after;
    };
    struct State {
        std::vector<std::vector<std::string>> cells;  // per grid, row by row
        int mode = 0;
    };

  private:
    class Step;
    State Current() const;
    void Apply(const std::vector<CellChange>& changes, bool forward, int mode);
    QString Describe(const CellChange& change) const;

    settings::SettingsModel& model_;
    Hooks hooks_;
    QUndoStack stack_;
    std::optional<State> baseline_;
    bool applying_ = false;
};

}  // namespace quelvar::ui
