#pragma once
// What may enter a one-line edit field, whichever way it arrives: typed, pasted by key, context
// menu or middle button, or committed by an input method. Each arriving character is tested as
// it is, then turned to upper case if asked; the text already in the field is never tested
// again. Dropping text onto the field is switched off, as it would bypass all of this.

#include <QObject>
#include <QString>
#include <string>

class QContextMenuEvent;
class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;

namespace quelvar::ui {

class KeyFilter : public QObject {
    Q_OBJECT
  public:
    // Installs itself on the field and is owned by it.
    explicit KeyFilter(QLineEdit& field);

    // Empty: any character Windows-1250 can hold.
    void SetAllowed(const QString& chars);
    void SetUpperCase(bool upperCase) { upperCase_ = upperCase; }
    // 0 or less: no limit. Only inserting is limited: a longer text already in the field stays.
    void SetMaxLength(int length) { maxLength_ = length; }

    // The part of text that may enter, in order: no controls, nothing the code page cannot hold,
    // with allowed characters set only those among them; each then in upper case if asked.
    QString Filter(const QString& text) const;
    // Replaces the field's selection by the filtered text, cut to the room the maximum length
    // leaves. Nothing happens when none of the text may enter.
    void Insert(const QString& text);

    // What may be typed, for a person: "digits, * only", "digits, A-F, a-f only"; empty when
    // any character the code page holds may.
    QString AllowedText() const;

  signals:
    // Some of the text arriving was kept out: characters not allowed, or (tooLong) no room left
    // under the maximum length.
    void refused(bool tooLong);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int Room() const;
    bool KeyPress(const QKeyEvent& event);
    bool InputMethod(const QInputMethodEvent& event);
    void ContextMenu(const QContextMenuEvent& event);

    QLineEdit& field_;
    std::u32string allowed_;
    bool upperCase_ = false;
    int maxLength_ = 0;
    bool forwarding_ = false;
};

}  // namespace quelvar::ui
