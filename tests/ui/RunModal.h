#pragma once
// Drives a modal dialog from inside its own event loop, the way a user would, and returns the
// dialog's result. A dialog the interaction leaves open is closed with kStillOpen, so a failed
// expectation cannot hang the test.

#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace quelvar::ui::testing {

inline constexpr int kStillOpen = 99;

template <class Dialog>
int RunModal(Dialog& dialog, const std::function<void()>& interact) {
    bool stillOpen = false;
    QTimer::singleShot(0, &dialog, [&dialog, &interact, &stillOpen] {
        interact();
        if (dialog.isVisible()) {
            stillOpen = true;
            dialog.done(kStillOpen);
        }
    });
    const int result = dialog.ShowModal();
    // Told apart from the dialog's own results, which need not pass a foreign code on.
    return stillOpen ? kStillOpen : result;
}

// Types each character with its text, also those QTest::keyClicks cannot (outside Latin-1).
inline void Type(QWidget* widget, const QString& text) {
    for (const char32_t c : text.toStdU32String()) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown,
                            QString::fromStdU32String(std::u32string(1, c)), Qt::NoModifier);
    }
}

}  // namespace quelvar::ui::testing
