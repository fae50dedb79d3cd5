#include "ui/WindowDialogs.h"

#include <QAbstractButton>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <vector>

namespace quelvar::ui {

int ExecWindowModal(QDialog& dialog) {
    dialog.setWindowModality(dialog.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    return dialog.exec();
}

void ShowPlainMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                      const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    ExecWindowModal(box);
}

int AskPlain(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
             int preferred, int escape) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    std::vector<QPushButton*> added;
    for (const QString& caption : buttons) {
        added.push_back(box.addButton(caption, QMessageBox::ActionRole));
    }
    box.setDefaultButton(added.at(static_cast<std::size_t>(preferred)));
    box.setEscapeButton(added.at(static_cast<std::size_t>(escape)));
    ExecWindowModal(box);
    for (std::size_t i = 0; i < added.size(); ++i) {
        if (box.clickedButton() == added[i]) {
            return static_cast<int>(i);
        }
    }
    return escape;
}

namespace {

QString RunFileDialog(QFileDialog& dialog) {
    if (ExecWindowModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().first();
}

}  // namespace

QString AskSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                        const QString& filter, const QString& suffix) {
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (!suggested.isEmpty()) {
        dialog.selectFile(suggested);
    }
    return RunFileDialog(dialog);
}

QString AskOpenFileName(QWidget* parent, const QString& caption, const QString& filter,
                        const QString& suffix) {
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setDefaultSuffix(suffix);
    return RunFileDialog(dialog);
}

QString PlainToolTip(const QString& text) {
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

void PlaceEditorBy(QWidget& form, QWidget* editor, QWidget* grid) {
    const QRect window = form.geometry();
    const QPoint offset = grid->mapTo(&form, QPoint(0, 0));
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
    KeepOnScreen(form, editor, place);
}

void KeepOnScreen(QWidget& window, QWidget* dialog, QPoint place) {
    // OK and Cancel must stay reachable wherever the window and the pointer are.
    const QRect screen = window.screen()->availableGeometry();
    dialog->winId();  // its frame is known once the window exists
    const QSize size = dialog->frameGeometry().size();
    place.setX(std::max(screen.left(), std::min(place.x(), screen.right() + 1 - size.width())));
    place.setY(std::max(screen.top(), std::min(place.y(), screen.bottom() + 1 - size.height())));
    dialog->move(place);
}

void PlaceCentred(QWidget& window, QWidget* dialog) {
    const QSize size = dialog->frameGeometry().size();
    KeepOnScreen(window, dialog,
                 window.frameGeometry().center() - QPoint(size.width() / 2, size.height() / 2));
}

}  // namespace quelvar::ui
