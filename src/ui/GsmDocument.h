#pragma once
// The settings the main window shows, as a file: the name the save dialog offers, saving, and
// the questions that keep edits from being lost when a device comes or goes, a log-in starts
// again or the window closes.

#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "settings/Catalogue.h"
#include "ui/PendingMark.h"
#include "ui/WindowDocument.h"

namespace quelvar::ui {

struct MainControls;

class SettingsDocument {
  public:
    // Where the file names come from; the real dialogs when none is given.
    using FileNameAsk = std::function<QString(bool forSaving)>;

    SettingsDocument(QWidget& window, const settings::SettingsModel& model, MainControls& ui,
                     WindowDocument& document, PendingMark& pending, QTimer& monitorClock);

    void SetFileNameAsk(FileNameAsk ask) { askFileName_ = std::move(ask); }
    // A settings file's name to open or save to; empty when cancelled.
    QString AskFileName(bool forSaving);
    // The file last opened, loaded or saved: the save dialog offers its name.
    void Opened(const QString& name) { currentFile_ = name; }

    // Saves what the window shows; a failure is said in a message and gives false.
    bool SaveTo(const QString& name);
    // The settings are about to be replaced: a failed save asks for another file.
    bool SaveUntilSavedOrCancelled(QString name);

    // The offline view's unsaved edits, before a device's settings replace them.
    void AskToSaveOfflineEdits();
    // Edits waiting for a device that went away.
    void OfferSaveBeforeDisconnect();
    // Whether the window may close.
    bool ConfirmClose();
    // Whether a new log-in may replace edits that differ from the device.
    bool ConfirmLogInAgain();

  private:
    bool SettingsShown() const;

    QWidget& window_;
    const settings::SettingsModel& model_;
    MainControls& ui_;
    WindowDocument& document_;
    PendingMark& pending_;
    QTimer& monitorClock_;
    FileNameAsk askFileName_;
    QString currentFile_;
};

}  // namespace quelvar::ui
