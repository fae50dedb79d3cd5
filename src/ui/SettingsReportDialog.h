#pragma once
// The settings report on screen, to print or to save as PDF.

#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <functional>

namespace quelvar::ui {

inline constexpr const char* kReportTitle = "Settings report";

class SettingsReportDialog : public QDialog {
    Q_OBJECT
  public:
    // `html`: the report as the core builds it.
    SettingsReportDialog(const QString& html, QWidget* parent = nullptr);

    // Where "Save as PDF..." gets its file name; a save dialog by default. Empty: cancelled.
    using FileNameAsk = std::function<QString()>;
    void SetFileNameAsk(FileNameAsk ask) { askFileName_ = std::move(ask); }
    // Writes the report as PDF; false (and a message box) when the file could not be written.
    bool SavePdf(const QString& name);

    QTextBrowser* view = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnSavePdf = nullptr;
    QPushButton* btnClose = nullptr;

  private:
    void PrintClick();
    void SavePdfClick();

    FileNameAsk askFileName_;
};

}  // namespace quelvar::ui
