#pragma once
// The pending mark (edits wait to be written): worked out from what the device (offline: the
// file) holds and what the window shows, never kept on its own, so that no path can leave it
// saying something else.

#include <functional>
#include <string>

#include "settings/Catalogue.h"
#include "settings/HeldSettings.h"
#include "ui/WindowDocument.h"

namespace quelvar::ui {

class PendingMark {
  public:
    // What the window shows: the mode selected and the acknowledgement marks.
    struct Shown {
        std::function<int()> mode;
        std::function<std::string()> ackMask;
    };
    PendingMark(const settings::SettingsModel& model, const WindowDocument& document, Shown shown)
        : model_(model), document_(document), shown_(std::move(shown)) {}

    // What the device (offline: the file) holds; a sequence or a file read changes it.
    settings::HeldSettings& Held() { return held_; }
    const settings::HeldSettings& Held() const { return held_; }
    // The values shown, in this mode, are what is held.
    void Remember(int modeIndex) { held_.Remember(model_, modeIndex, shown_.ackMask()); }
    // How many settings shown differ from what is held.
    int Differing() const { return held_.DifferingFrom(model_, shown_.mode(), shown_.ackMask()); }
    // Edits wait: something shown differs, or a sequence left the device's settings unknown.
    // While everything shown is being written, nothing waits.
    bool Pending() const {
        return !writingAll_ && held_.Known() &&
               ((!document_.Offline() && held_.Uncertain()) || Differing() > 0);
    }
    // A write-back of everything shown begins or ends.
    void WritingAll(bool writing) { writingAll_ = writing; }
    // The write-back button's image.
    int Image() const { return Pending() ? kPendingImage : kSavedImage; }

  private:
    const settings::SettingsModel& model_;
    const WindowDocument& document_;
    Shown shown_;
    settings::HeldSettings held_;
    bool writingAll_ = false;
};

}  // namespace quelvar::ui
