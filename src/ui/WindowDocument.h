#pragma once
// What the window's grids hold, seen as a document: the file the offline view shows (none while
// a device's settings are shown) and whether edits wait to be saved to that file.

#include <QString>

namespace quelvar::ui {

// Image indices of the tool buttons; the save-to-device button shows kPendingImage while
// edits wait to be written.
inline constexpr int kSavedImage = 2;
inline constexpr int kPendingImage = 4;

class WindowDocument {
  public:
    // The file the offline view shows; empty while a device's settings are shown.
    const QString& OfflineFile() const { return offlineFile_; }
    bool Offline() const { return !offlineFile_.isEmpty(); }
    // Edits in the offline view wait to be saved to its file.
    bool Unsaved() const { return unsaved_; }

    // A file read into the offline view, or saved from it: nothing waits to be saved.
    void ShowFile(const QString& name) {
        offlineFile_ = name;
        unsaved_ = false;
    }
    // A device's settings are shown from now on.
    void ShowDevice() {
        offlineFile_.clear();
        unsaved_ = false;
    }
    // An edit of the grids or the mode: in the offline view the file is behind.
    void Edited() { unsaved_ = unsaved_ || Offline(); }
    // The grids hold again what the file holds (an edit undone, say).
    void MatchesHeld() { unsaved_ = false; }
    // The user was asked about the unsaved edits and answered.
    void Answered() { unsaved_ = false; }

  private:
    QString offlineFile_;
    bool unsaved_ = false;
};

}  // namespace quelvar::ui
