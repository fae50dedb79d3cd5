#include "ui/SitesDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "register/RegisterText.h"
#include "ui/QtText.h"

namespace quelvar::ui {

namespace {

QTableWidget* Table(QWidget* parent, const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void SetRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
        table->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

QString ShownTime(sites::Clock::time_point when) {
    return QString::fromStdString(sites::ShownTime(when));
}

}  // namespace

SitesDialog::SitesDialog(QWidget* parent, sites::RegisterUse& reg, bool canRestore)
    : QDialog(parent), reg_(reg) {
    setObjectName("SitesDialog");
    setWindowTitle("Sites");
    auto* layout = new QVBoxLayout(this);
    edSearch = new QLineEdit(this);
    edSearch->setObjectName("edSearch");
    edSearch->setPlaceholderText("Search account ID, customer, address, phone, notes, firmware");
    edSearch->setClearButtonEnabled(true);
    layout->addWidget(edSearch);
    tblSites =
        Table(this, {"Account ID", "Customer", "Last change", "Firmware", "Revisions"}, "tblSites");
    tblSites->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(tblSites, 2);
    layout->addLayout(BuildCustomerFields());
    tblHistory = Table(this, {"Time", "Who", "What", "Outcome"}, "tblHistory");
    // Two revisions selected are compared.
    tblHistory->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(tblHistory, 3);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName("lblProblem");
    lblProblem->setTextFormat(Qt::PlainText);
    lblProblem->setWordWrap(true);
    lblProblem->hide();
    layout->addWidget(lblProblem);
    layout->addLayout(BuildButtons(canRestore));

    connect(edSearch, &QLineEdit::textChanged, this, &SitesDialog::Filter);
    connect(tblSites, &QTableWidget::itemSelectionChanged, this, &SitesDialog::ShowSite);
    connect(tblHistory, &QTableWidget::itemSelectionChanged, this, &SitesDialog::UpdateButtons);
    connect(tblHistory, &QTableWidget::cellDoubleClicked, this, [this] { Choose(Choice::kOpen); });
    resize(760, 560);
    FillSites();
}

QLayout* SitesDialog::BuildCustomerFields() {
    auto* form = new QFormLayout;
    const std::pair<QLineEdit**, const char*> fields[] = {{&edName, "Customer"},
                                                          {&edAddress, "Address"},
                                                          {&edPhone, "Contact telephone"},
                                                          {&edNotes, "Notes"}};
    const char* names[] = {"edName", "edAddress", "edPhone", "edNotes"};
    int i = 0;
    for (const auto& [field, label] : fields) {
        *field = new QLineEdit(this);
        (*field)->setObjectName(names[i++]);
        (*field)->setEnabled(false);
        QLineEdit* edit = *field;
        // Kept as soon as the field is left or Enter is pressed.
        connect(edit, &QLineEdit::editingFinished, this, [this, edit] { SaveCustomer(edit); });
        form->addRow(label, edit);
    }
    return form;
}

QLayout* SitesDialog::BuildButtons(bool canRestore) {
    auto* buttons = new QHBoxLayout;
    btnOpen = new QPushButton("Open", this);
    btnCompare = new QPushButton("Compare", this);
    btnRestore = new QPushButton("Restore...", this);
    btnClose = new QPushButton("Close", this);
    btnRestore->setVisible(canRestore);
    buttons->addStretch();
    const std::pair<QPushButton*, const char*> named[] = {{btnOpen, "btnOpen"},
                                                          {btnCompare, "btnCompare"},
                                                          {btnRestore, "btnRestore"},
                                                          {btnClose, "btnClose"}};
    for (const auto& [button, name] : named) {
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    connect(btnOpen, &QPushButton::clicked, this, [this] { Choose(Choice::kOpen); });
    connect(btnCompare, &QPushButton::clicked, this, [this] { Choose(Choice::kCompare); });
    connect(btnRestore, &QPushButton::clicked, this, [this] { Choose(Choice::kRestore); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
    return buttons;
}

void SitesDialog::FillSites() {
    sites_.clear();
    reg_.Try([&](sites::SiteRegister& reg) { sites_ = reg.Sites(); });
    SayProblem();
    tblSites->setRowCount(static_cast<int>(sites_.size()));
    for (int r = 0; r < static_cast<int>(sites_.size()); ++r) {
        const sites::Site& site = sites_[static_cast<std::size_t>(r)];
        SetRow(tblSites, r,
               {FromCp1250(site.accountId), FromCp1250(site.name),
                site.lastChange ? ShownTime(*site.lastChange) : QString("-"),
                FromCp1250(site.firmware), QString::number(site.revisions)});
    }
    tblSites->resizeColumnsToContents();
    Filter(edSearch->text());
}

void SitesDialog::Filter(const QString& text) {
    const std::string wanted = ToCp1250(text).value_or(std::string("\x01"));
    int firstShown = -1;
    for (int r = 0; r < static_cast<int>(sites_.size()); ++r) {
        const bool shown = sites::SiteMatches(sites_[static_cast<std::size_t>(r)], wanted);
        tblSites->setRowHidden(r, !shown);
        firstShown = (shown && firstShown < 0) ? r : firstShown;
    }
    const sites::Site* selected = SelectedSite();
    if (firstShown >= 0 && (!selected || tblSites->isRowHidden(tblSites->currentRow()))) {
        tblSites->selectRow(firstShown);
    } else if (firstShown < 0) {
        tblSites->clearSelection();
    }
}

const sites::Site* SitesDialog::SelectedSite() const {
    const QList<QTableWidgetItem*> selected = tblSites->selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    return &sites_[static_cast<std::size_t>(selected.first()->row())];
}

void SitesDialog::ShowSite() {
    const sites::Site* site = SelectedSite();
    const std::string* values[] = {site ? &site->name : nullptr, site ? &site->address : nullptr,
                                   site ? &site->phone : nullptr, site ? &site->notes : nullptr};
    QLineEdit* fields[] = {edName, edAddress, edPhone, edNotes};
    for (int i = 0; i < 4; ++i) {
        fields[i]->setText(values[i] ? FromCp1250(*values[i]) : QString());
        fields[i]->setEnabled(site != nullptr);
    }
    history_.clear();
    if (site) {
        reg_.Try([&](sites::SiteRegister& reg) { history_ = reg.History(site->accountId); });
        SayProblem();
    }
    tblHistory->setRowCount(static_cast<int>(history_.size()));
    for (int r = 0; r < static_cast<int>(history_.size()); ++r) {
        const sites::Revision& revision = history_[static_cast<std::size_t>(r)];
        QString what = FromCp1250(sites::WhatText(revision));
        if (sites::BackupDeleted(revision)) {
            what += " (backup file deleted)";
        }
        SetRow(tblHistory, r,
               {ShownTime(revision.when), FromCp1250(sites::WhoText(revision)),
                QString("%1: %2").arg(sites::KindName(revision.kind), what),
                FromCp1250(revision.outcome)});
    }
    tblHistory->resizeColumnsToContents();
    if (!history_.empty()) {
        tblHistory->selectRow(0);
    }
    UpdateButtons();
}

void SitesDialog::SaveCustomer(QLineEdit* edit) {
    const sites::Site* site = SelectedSite();
    if (!site) {
        return;
    }
    const std::optional<std::string> text = ToCp1250(edit->text());
    if (!text) {
        lblProblem->setText("The text holds a character that Windows-1250 cannot hold");
        lblProblem->show();
        return;
    }
    // Each field's place in the register's fields and in the site as listed.
    using Field = std::optional<std::string> sites::CustomerFields::*;
    using Listed = std::string sites::Site::*;
    const std::tuple<QLineEdit*, Field, Listed> places[] = {
        {edName, &sites::CustomerFields::name, &sites::Site::name},
        {edAddress, &sites::CustomerFields::address, &sites::Site::address},
        {edPhone, &sites::CustomerFields::phone, &sites::Site::phone},
        {edNotes, &sites::CustomerFields::notes, &sites::Site::notes}};
    const auto place = std::find_if(std::begin(places), std::end(places),
                                    [&](const auto& p) { return std::get<0>(p) == edit; });
    const int row = static_cast<int>(site - sites_.data());
    sites::Site& edited = sites_[static_cast<std::size_t>(row)];
    std::string& listed = edited.*std::get<2>(*place);
    if (listed == *text) {
        return;
    }
    sites::CustomerFields fields;
    fields.*std::get<1>(*place) = text;
    const std::string account = edited.accountId;
    if (reg_.Try([&](sites::SiteRegister& reg) { reg.UpdateCustomer(account, fields); })) {
        listed = *text;
        tblSites->item(row, 1)->setText(FromCp1250(edited.name));
    }
    SayProblem();
}

std::vector<sites::Revision> SitesDialog::SelectedRevisions() const {
    std::vector<sites::Revision> chosen;
    for (int r = 0; r < tblHistory->rowCount(); ++r) {
        if (tblHistory->item(r, 0) && tblHistory->item(r, 0)->isSelected()) {
            chosen.push_back(history_[static_cast<std::size_t>(r)]);
        }
    }
    return chosen;
}

void SitesDialog::UpdateButtons() {
    const std::vector<sites::Revision> chosen = SelectedRevisions();
    const bool one = chosen.size() == 1 && chosen[0].hasSettings;
    btnOpen->setEnabled(one);
    btnRestore->setEnabled(one);
    btnCompare->setEnabled(chosen.size() == 2 && chosen[0].hasSettings && chosen[1].hasSettings);
}

void SitesDialog::SayProblem() {
    const std::string problem = reg_.TakeProblem();
    if (!problem.empty()) {
        lblProblem->setText(QString::fromLocal8Bit(problem.c_str()));
        lblProblem->show();
    }
}

void SitesDialog::Choose(Choice choice) {
    std::vector<sites::Revision> chosen = SelectedRevisions();
    const std::size_t wanted = choice == Choice::kCompare ? 2 : 1;
    if (chosen.size() != wanted) {
        return;
    }
    for (const sites::Revision& revision : chosen) {
        if (!revision.hasSettings) {
            return;
        }
    }
    chosen_ = choice;
    chosenRevisions_ = std::move(chosen);
    accept();
}

}  // namespace quelvar::ui
