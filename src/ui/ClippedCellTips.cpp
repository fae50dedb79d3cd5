#include "ui/ClippedCellTips.h"

#include <QEvent>
#include <QHelpEvent>
#include <QStringList>
#include <QToolTip>

#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

class ClippedCellTips : public QObject {
  public:
    explicit ClippedCellTips(QAbstractItemView* view) : QObject(view), view_(view) {}

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) {
            return false;
        }
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = view_->indexAt(help->pos());
        const QRect visible = view_->visualRect(index).intersected(view_->viewport()->rect());
        const QString text = index.data(Qt::DisplayRole).toString();
        // The whole text when it is cut, and what the value means when the grid says.
        QStringList lines;
        if (index.isValid() && CellTextClipped(view_->fontMetrics(), text, visible.width())) {
            lines << text;
        }
        if (const QString meaning = index.data(Qt::ToolTipRole).toString(); !meaning.isEmpty()) {
            lines << meaning;
        }
        if (!lines.isEmpty()) {
            QToolTip::showText(help->globalPos(), PlainToolTip(lines.join('\n')), view_->viewport(),
                               visible);
        } else {
            QToolTip::hideText();
        }
        return true;
    }

  private:
    QAbstractItemView* view_;
};

}  // namespace

bool CellTextClipped(const QFontMetrics& metrics, const QString& text, int visibleWidth) {
    // The cells give up their left margin before a letter, and keep one pixel on the right.
    return !text.isEmpty() && metrics.horizontalAdvance(text) > visibleWidth - 1;
}

void ShowClippedTextAsToolTip(QAbstractItemView* view) {
    view->viewport()->installEventFilter(new ClippedCellTips(view));
}

}  // namespace quelvar::ui
