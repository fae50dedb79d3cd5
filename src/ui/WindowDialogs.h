#pragma once
// The dialogs a window opens block that window only, so that the simulated communicator's
// window stays usable meanwhile; every text they show from files or devices is plain text.

#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace quelvar::ui {

// Runs the dialog modal to its parent window only; its result.
int ExecWindowModal(QDialog& dialog);

// A message box with plain text (a file name holding markup is shown as typed).
void ShowPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                      const QString& text);

// Asks with the buttons given, left to right; the index of the one chosen, or `escape` when the
// box was closed otherwise. `preferred` is the default button.
int AskPlain(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
             int preferred, int escape);

// A file name to save to: the suggested name pre-filled, replacing an existing file asked
// first, `suffix` added to a name without one. Empty when cancelled.
QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                        const QString& filter, const QString& suffix);
// An existing file to read. Empty when cancelled.
QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& suffix);

// Moves the dialog to the place, or as near as it fits wholly on the window's screen.
void KeepOnScreen(QWidget& window, QWidget* dialog, QPoint place);
// A value editor opened from a grid: at the pointer while that is over the window, else by
// the grid.
void PlaceEditorBy(QWidget& window, QWidget* editor, QWidget* grid);
// Centred on the window.
void PlaceCentred(QWidget& window, QWidget* dialog);

// Text for a tool tip that shows as typed, whatever markup it holds.
QString PlainToolTip(const QString& text);

}  // namespace quelvar::ui
