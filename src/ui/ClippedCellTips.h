#pragma once
// A cell whose text does not fit where it shows (a narrow column, a grid cut at its edge) shows
// the whole text as its tool tip, and a cell whose model gives a tool tip (what a Contact ID
// code means) shows that too.

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QString>

namespace quelvar::ui {

// Whether the text, drawn as the grid's cells draw it, is cut within that visible width.
bool CellTextClipped(const QFontMetrics& metrics, const QString& text, int visibleWidth);

// Watches the view's tool-tip requests for as long as the view lives.
void ShowClippedTextAsToolTip(QAbstractItemView* view);

}  // namespace quelvar::ui
