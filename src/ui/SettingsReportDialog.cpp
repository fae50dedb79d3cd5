#include "ui/SettingsReportDialog.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <QVBoxLayout>
#include <memory>

#include "ui/WindowDialogs.h"

namespace quelvar::ui {

namespace {

constexpr int kPdfResolution = 300;

// Prints the report page by page, each numbered "Page 2 of 3": a signed report shows whether
// a page is missing. Tables that run onto a new page repeat their heading row there.
void PrintNumbered(const QTextDocument& report, QPagedPaintDevice& device) {
    std::unique_ptr<QTextDocument> document(report.clone());
    QPainter painter(&device);
    document->documentLayout()->setPaintDevice(&device);
    const QSizeF page = device.pageLayout().paintRectPixels(device.logicalDpiY()).size();
    const QFont footerFont(document->defaultFont().family(), 8);
    const qreal footer = 2 * QFontMetricsF(footerFont, &device).height();
    const qreal bodyHeight = page.height() - footer;
    document->setPageSize(QSizeF(page.width(), bodyHeight));
    const int pages = document->pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0) {
            device.newPage();
        }
        const QRectF shown(0, index * bodyHeight, page.width(), bodyHeight);
        painter.save();
        // The layout draws every line and cell that touches the page whole, and the device
        // paints its margins too: unclipped, a page repeated the last lines of the one before.
        painter.setClipRect(QRectF(0, 0, page.width(), bodyHeight));
        painter.translate(0, -shown.top());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        document->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footerFont);
        painter.drawText(QRectF(0, bodyHeight, page.width(), footer),
                         Qt::AlignRight | Qt::AlignBottom,
                         QString("%1, page %2 of %3").arg(kReportTitle).arg(index + 1).arg(pages));
    }
}

}  // namespace

SettingsReportDialog::SettingsReportDialog(Build build, QWidget* parent) : QDialog(parent) {
    setWindowTitle(kReportTitle);
    view = new QTextBrowser(this);
    view->setHtml(build(false));
    // The report is the customer's copy: the PIN goes on it only when asked for.
    cbWithPin = new QCheckBox("Include the SIM PIN", this);
    connect(cbWithPin, &QCheckBox::toggled, this,
            [this, build](bool withPin) { view->setHtml(build(withPin)); });
    btnPrint = new QPushButton("Print...", this);
    btnSavePdf = new QPushButton("Save as PDF...", this);
    btnClose = new QPushButton("Close", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbWithPin);
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
        return AskSaveFileName(this, "Save the settings report", QString(), "PDF files (*.pdf)",
                               "pdf");
    };
    connect(btnPrint, &QPushButton::clicked, this, &SettingsReportDialog::PrintClick);
    connect(btnSavePdf, &QPushButton::clicked, this, &SettingsReportDialog::SavePdfClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void SettingsReportDialog::PrintClick() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (ExecWindowModal(dialog) == QDialog::Accepted) {
        PrintNumbered(*view->document(), printer);
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
        PrintNumbered(*view->document(), writer);
    }
    saved = saved && file.commit();
    if (!saved) {
        ShowPlainMessage(this, QMessageBox::Critical, kReportTitle,
                         QString("Unable to write %1: %2").arg(name, file.errorString()));
    }
    return saved;
}

}  // namespace quelvar::ui
