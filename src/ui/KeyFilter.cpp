#include "ui/KeyFilter.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QStringList>
#include <algorithm>
#include <limits>
#include <tuple>

#include "settings/Cp1250.h"

namespace quelvar::ui {
namespace {

// Whether the field would insert the key's text, by the rule of Qt's own input controls: Ctrl
// and Ctrl+Shift chords are shortcuts, AltGr (Ctrl+Alt) chords type characters.
bool InsertsText(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty()) {
        return false;
    }
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format) {
        return true;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ShiftModifier | Qt::ControlModifier)) {
        return false;
    }
    return first.isPrint() || first.category() == QChar::Other_PrivateUse ||
           (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

// The length of the selection the field replaces by what comes in. Only a selection within the
// text counts: one reaching past the end, as an input method's replacement can leave, is
// reported by the field but never removed.
qsizetype RemovedSelection(const QLineEdit& field) {
    const bool removed = field.hasSelectedText() && field.selectionEnd() <= field.text().size();
    return removed ? field.selectionLength() : 0;
}

// What may enter beside `staying` characters; a longer text already there is not cut.
int RoomBeside(int maxLength, qsizetype staying) {
    if (maxLength <= 0) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(std::max<qsizetype>(0, maxLength - staying));
}

}  // namespace

KeyFilter::KeyFilter(QLineEdit& field) : QObject(&field), field_(field) {
    field_.setAcceptDrops(false);
    field_.installEventFilter(this);
}

void KeyFilter::SetAllowed(const QString& chars) {
    allowed_ = chars.toStdU32String();
}

QString KeyFilter::Filter(const QString& text) const {
    std::u32string kept;
    for (const char32_t typed : text.toStdU32String()) {
        // A one-line value holds no controls: a pasted line break or tab would reach the
        // device and the settings file.
        if (QChar::category(typed) == QChar::Other_Control || !settings::Cp1250CanEncode(typed)) {
            continue;
        }
        // Tested as it arrives, before the case changes.
        if (!allowed_.empty() && allowed_.find(typed) == std::u32string::npos) {
            continue;
        }
        char32_t shown = typed;
        if (upperCase_) {
            // A letter whose capital the code page lacks (such as the micro sign) stays as it is.
            const char32_t upper = QChar::toUpper(typed);
            if (settings::Cp1250CanEncode(upper)) {
                shown = upper;
            }
        }
        kept.push_back(shown);
    }
    return QString::fromStdU32String(kept);
}

QString KeyFilter::AllowedText() const {
    if (allowed_.empty()) {
        return {};
    }
    const auto holds = [this](char32_t first, char32_t last) {
        for (char32_t c = first; c <= last; ++c) {
            if (allowed_.find(c) == std::u32string::npos) {
                return false;
            }
        }
        return true;
    };
    QStringList parts;
    std::u32string named;
    for (const auto& [first, last, name] :
         {std::tuple{U'0', U'9', "digits"}, std::tuple{U'A', U'F', "A-F"},
          std::tuple{U'a', U'f', "a-f"}}) {
        if (holds(first, last)) {
            parts << name;
            for (char32_t c = first; c <= last; ++c) {
                named.push_back(c);
            }
        }
    }
    for (const char32_t c : allowed_) {
        if (named.find(c) == std::u32string::npos) {
            parts << QString::fromStdU32String(std::u32string(1, c));
            named.push_back(c);
        }
    }
    return parts.join(", ") + " only";
}

int KeyFilter::Room() const {
    return RoomBeside(maxLength_, field_.text().size() - RemovedSelection(field_));
}

void KeyFilter::Insert(const QString& text) {
    const QString filtered = Filter(text);
    const QString kept = filtered.left(Room());
    if (filtered.size() < text.size()) {
        emit refused(false);
    } else if (kept.size() < filtered.size()) {
        emit refused(true);
    }
    if (kept.isEmpty()) {
        return;
    }
    // A cursor key while an input method composes can leave the cursor past the end of the text,
    // and the field would pad the text with spaces up to it.
    if (field_.cursorPosition() > field_.text().size()) {
        field_.end(false);
    }
    field_.insert(kept);
}

bool KeyFilter::KeyPress(const QKeyEvent& event) {
    if (field_.isReadOnly()) {
        return false;
    }
    if (event.matches(QKeySequence::Paste)) {
        Insert(QGuiApplication::clipboard()->text());
        return true;
    }
    // Backspace, editing keys and shortcuts go on to the field as they are.
    if (!InsertsText(event)) {
        return false;
    }
    Insert(event.text());
    return true;
}

bool KeyFilter::InputMethod(const QInputMethodEvent& event) {
    const QString commit = event.commitString();
    if ((commit.isEmpty() && event.replacementLength() <= 0) || field_.isReadOnly()) {
        return false;
    }
    // The field removes its selection, then replaces from its cursor moved by the start. It takes
    // a range outside its text as it comes: a start past the end pads the text with spaces, a
    // length past it leaves a selection that is never replaced. So the range is held to the text.
    qsizetype length = field_.text().size();
    qsizetype cursor = field_.cursorPosition();
    if (const qsizetype selected = RemovedSelection(field_); selected > 0) {
        cursor = field_.selectionStart();
        length -= selected;
    }
    const qsizetype from = std::clamp<qsizetype>(cursor + event.replacementStart(), 0, length);
    const qsizetype count = std::clamp<qsizetype>(event.replacementLength(), 0, length - from);
    const auto start = static_cast<int>(from - cursor);
    const QString kept = Filter(commit).left(RoomBeside(maxLength_, length - count));
    if (kept == commit && start == event.replacementStart() && count == event.replacementLength()) {
        return false;
    }
    QInputMethodEvent filtered(event.preeditString(), event.attributes());
    filtered.setCommitString(kept, start, static_cast<int>(count));
    forwarding_ = true;
    QCoreApplication::sendEvent(&field_, &filtered);
    forwarding_ = false;
    return true;
}

void KeyFilter::ContextMenu(const QContextMenuEvent& event) {
    // Qt's own menu would paste past the filter, so the field gets the same menu with a paste
    // of its own. QLineEdit's translations still apply to the texts.
    QMenu menu(&field_);
    const bool writable = !field_.isReadOnly();
    const bool selected = field_.hasSelectedText();
    const bool copyable = selected && field_.echoMode() == QLineEdit::Normal;
    const auto add = [&](const char* text, QKeySequence::StandardKey keys, bool enabled,
                         auto action) {
        QString label = QLineEdit::tr(text);
        const QString shortcut = QKeySequence(keys).toString(QKeySequence::NativeText);
        if (!shortcut.isEmpty()) {
            label += u'\t' + shortcut;
        }
        QAction* item = menu.addAction(label);
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    add("&Undo", QKeySequence::Undo, writable && field_.isUndoAvailable(),
        [this] { field_.undo(); });
    add("&Redo", QKeySequence::Redo, writable && field_.isRedoAvailable(),
        [this] { field_.redo(); });
    menu.addSeparator();
    add("Cu&t", QKeySequence::Cut, writable && copyable, [this] { field_.cut(); });
    add("&Copy", QKeySequence::Copy, copyable, [this] { field_.copy(); });
    add("&Paste", QKeySequence::Paste, writable && !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { Insert(QGuiApplication::clipboard()->text()); });
    add("Delete", QKeySequence::UnknownKey, writable && selected, [this] { field_.del(); });
    menu.addSeparator();
    add("Select All", QKeySequence::SelectAll,
        !field_.text().isEmpty() && field_.selectedText() != field_.text(),
        [this] { field_.selectAll(); });
    menu.exec(event.globalPos());
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &field_ || forwarding_) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress:
            return KeyPress(static_cast<const QKeyEvent&>(*event));
        case QEvent::InputMethod:
            return InputMethod(static_cast<const QInputMethodEvent&>(*event));
        case QEvent::ContextMenu:
            ContextMenu(static_cast<const QContextMenuEvent&>(*event));
            return true;
        case QEvent::MouseButtonRelease: {
            // The middle button pastes the selection where the system has one.
            const auto& mouse = static_cast<const QMouseEvent&>(*event);
            if (mouse.button() != Qt::MiddleButton || field_.isReadOnly() ||
                !QGuiApplication::clipboard()->supportsSelection()) {
                return false;
            }
            field_.deselect();
            Insert(QGuiApplication::clipboard()->text(QClipboard::Selection));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace quelvar::ui
