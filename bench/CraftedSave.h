#pragma once
// The save into an existing settings file that is as large as a settings file may be: a
// section full of keys the tool does not know, so that every one of the tool's keys is new.

#include <QString>

namespace quelvar::bench {

// Milliseconds of one save of a set-up model into such a file in `folder`.
double CraftedSaveMs(const QString& folder);

}  // namespace quelvar::bench
