#pragma once
// Asks before a settings file with findings is loaded: how many settings it lacks (a load
// clears them on the device) and which values no editor of the window could have produced.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "settings/SettingsCheck.h"

namespace quelvar::ui {

inline constexpr const char* kLoadAnyway = "Load anyway";
inline constexpr int kMaxFindingLines = 20;

// The caption of the group that shows a setting, as the window titles it.
using GroupCaption = std::function<QString(const settings::SettingPlace&)>;

// The dialog's text: the missing count, then the invalid values grouped by their group, each
// with its row and column, at most kMaxFindingLines lines and then "and N more". Values too
// long for the dialog are cut; their whole texts go to `shortened`. Only a load to a device
// clears the missing settings on it.
QString FindingsText(const QString& fileName, const std::vector<settings::Finding>& findings,
                     const GroupCaption& groupCaption, bool toDevice,
                     QStringList* shortened = nullptr);

// True for "Load anyway", false for "Cancel" (and for closing the dialog).
bool ConfirmLoadWithFindings(QWidget* parent, const QString& fileName,
                             const std::vector<settings::Finding>& findings,
                             const GroupCaption& groupCaption, bool toDevice);

}  // namespace quelvar::ui
