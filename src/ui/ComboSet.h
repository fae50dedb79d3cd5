#pragma once
// The value editor: the modal dialog every validated edit of a grid cell passes through, as
// free text held to a set of characters and a length, or as a choice from a list. It writes
// the cell itself on OK; the caller learns only how it ended.

#include <QDialog>
#include <string>

#include "settings/StringGrid.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace quelvar::ui {

class KeyFilter;

class TSetFrm : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit TSetFrm(QWidget* parent = nullptr);

    // The caller prepares every use in this order: a target, the rule, the exact length, the
    // maximum length; then ShowModal. All texts are Windows-1250.

    // Caption: the window's caption; Message: prefix ": " caption.
    void SetTargetParam(settings::StringGrid& grid, int col, int row, const std::string& prefix,
                        const std::string& caption, bool upperCase);
    // Caption: the header; Message: prefix ": " the row's column-0 text "; " header.
    void SetTargetEvent(settings::StringGrid& grid, int col, int row, const std::string& prefix,
                        const std::string& header, bool upperCase);
    // Two lines or more (ended by LF, CR or CR LF): the options of a list, the one equal to the
    // cell selected, else the first. Otherwise free text limited to the rule's characters (an
    // empty rule: any), starting from the cell's text.
    void SetValueRule(const std::string& rule);
    // 0: no check; otherwise, once the text has changed, OK takes only this length or none.
    void SetExactLength(int length);
    // Limits what may be typed or pasted; a longer current value stays as it is.
    void SetMaxLength(int length);

    // What the editor knows of the value beyond its rule, for this use only (each new target
    // starts without): an SMS text is counted and its characters outside the GSM alphabet
    // named; a Contact ID code is named as it is typed and may be picked from a list.
    enum class Helper { kNone, kSmsText, kEventCode };
    void SetHelper(Helper helper);
    // A line the code editor shows under its field ("OK also sets E/R to E").
    void SetNote(const QString& note);
    // kOk once the cell holds the new value, kCancel with the cell untouched.
    int ShowModal();

    bool ListMode() const { return listMode_; }

    void reject() override;

    // In tab order.
    QLabel* const PreMessage;
    QLabel* const Message;
    QComboBox* const cbSetProp;
    QPushButton* const btSetOK;
    QPushButton* const btSetCancel;
    QLineEdit* const edSetProp;
    // Why OK is greyed, or what a refused key may not type, between OK and Cancel.
    QLabel* const lbWhy;
    // The helpers' lines and the code picker: shown only with a helper.
    QLabel* const lbHint;
    QLineEdit* const edCodeSearch;
    QListWidget* const lstCodes;

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void SetTarget(settings::StringGrid& grid, int col, int row, bool upperCase);
    void CheckLength();
    void Confirm();
    void ShowGreyedReason();
    void Refused(bool tooLong);
    // The helpers' lines and the code list follow the text.
    void ShowHelp();
    void FillCodeList();
    void PickCode();
    void PlaceForHelper();

    KeyFilter* const filter_;
    settings::StringGrid* grid_ = nullptr;
    int col_ = 0;
    int row_ = 0;
    int exactLength_ = 0;
    int maxLength_ = 0;
    bool listMode_ = true;
    Helper helper_ = Helper::kNone;
    QString note_;
    QTimer* const whyTimer_;
};

}  // namespace quelvar::ui
