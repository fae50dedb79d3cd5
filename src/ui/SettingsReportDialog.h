#pragma once
// The settings report on screen, to print or to save as PDF.

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>
#include <functional>

namespace quelvar::ui {

inline constexpr const char* kReportTitle = "Settings report";

class SettingsReportDialog : public QDialog {
    Q_OBJECT
  public:
    // `build` gives the report as the core builds it, with or without the SIM card's PIN.
    using Build = std::function<QString(bool withPin)>;
    SettingsReportDialog(Build build, QWidget* parent = nullptr);

    // Where "Save as PDF..." gets its file name; a save dialog by default. Empty: cancelled.
    using FileNameAsk = std::function<QString()>;
    void SetFileNameAsk(FileNameAsk ask) { askFileName_ = std::move(ask); }
    // Writes the report as PDF; false (and a message box) when the file could not be written.
    bool SavePdf(const QString& name);

    QTextBrowser* view = nullptr;
    QCheckBox* cbWithPin = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnSavePdf = nullptr;
    QPushButton* btnClose = nullptr;

  private:
    void PrintClick();
    void SavePdfClick();

    FileNameAsk askFileName_;
};

}  // namespace quelvar::ui
