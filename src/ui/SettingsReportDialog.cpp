#include "ui/SettingsReportDialog.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QVBoxLayout>

namespace quelvar::ui {

namespace {

constexpr int kPdfResolution = 300;

}  // namespace

SettingsReportDialog::SettingsReportDialog(const QString& html, QWidget* parent) : QDialog(parent) {
    setWindowTitle(kReportTitle);
    view = new QTextBrowser(this);
    view->setHtml(html);
    btnPrint = new QPushButton("Print...", this);
    btnSavePdf = new QPushButton("Save as PDF...", this);
    btnClose = new QPushButton("Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {btnPrint, btnSavePdf, btnClose}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addLayout(buttons);
    resize(760, 640);
    askFileName_ = [this] {
        return QFileDialog::getSaveFileName(this, "Save the settings report", QString(),
                                            "PDF files (*.pdf)");
    };
    connect(btnPrint, &QPushButton::clicked, this, &SettingsReportDialog::PrintClick);
    connect(btnSavePdf, &QPushButton::clicked, this, &SettingsReportDialog::SavePdfClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void SettingsReportDialog::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) {
        view->document()->print(&printer);
    }
}

void SettingsReportDialog::SavePdfClick() {
    const QString name = askFileName_();
    if (!name.isEmpty()) {
        SavePdf(name);
    }
}

bool SettingsReportDialog::SavePdf(const QString& name) {
    // Written through a file of our own: the printer's own PDF output says nothing when the
    // file cannot be written, and a half-written report would replace a good one.
    QSaveFile file(name);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        QPdfWriter writer(&file);
        writer.setResolution(kPdfResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        writer.setTitle(kReportTitle);
        view->document()->print(&writer);
    }
    saved = saved && file.commit();
    if (!saved) {
        QMessageBox::critical(this, kReportTitle,
                              QString("Unable to write %1: %2").arg(name, file.errorString()));
    }
    return saved;
}

}  // namespace quelvar::ui
