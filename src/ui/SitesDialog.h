#pragma once
// More > Sites...: every site of the register, found by any field as one types; the customer's
// fields edited in place; the site's history newest first, from which a revision is opened,
// two are compared, or one is restored onto the device logged in.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "register/RegisterUse.h"

namespace quelvar::ui {

class SitesDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Choice { kNone, kOpen, kCompare, kRestore };

    // `canRestore`: a device is logged in to restore to.
    SitesDialog(QWidget* parent, sites::RegisterUse& reg, bool canRestore);

    Choice Chosen() const { return chosen_; }
    // The revisions chosen, newest first: one for Open and Restore, two for Compare.
    const std::vector<sites::Revision>& ChosenRevisions() const { return chosenRevisions_; }

    QLineEdit* edSearch = nullptr;
    QTableWidget* tblSites = nullptr;
    QLineEdit* edName = nullptr;
    QLineEdit* edAddress = nullptr;
    QLineEdit* edPhone = nullptr;
    QLineEdit* edNotes = nullptr;
    QTableWidget* tblHistory = nullptr;
    QLabel* lblProblem = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnCompare = nullptr;
    QPushButton* btnRestore = nullptr;
    QPushButton* btnClose = nullptr;

  private:
    QLayout* BuildCustomerFields();
    QLayout* BuildButtons(bool canRestore);
    void FillSites();
    void Filter(const QString& text);
    void ShowSite();
    void SaveCustomer(QLineEdit* edit);
    void UpdateButtons();
    std::vector<sites::Revision> SelectedRevisions() const;
    const sites::Site* SelectedSite() const;
    void SayProblem();
    void Choose(Choice choice);

    sites::RegisterUse& reg_;
    std::vector<sites::Site> sites_;
    std::vector<sites::Revision> history_;
    Choice chosen_ = Choice::kNone;
    std::vector<sites::Revision> chosenRevisions_;
};

}  // namespace quelvar::ui
