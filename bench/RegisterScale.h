#pragma once
// The site register at an installer's scale: 1,000 sites with 10,000 revisions between them.

#include <QString>

namespace quelvar::bench {

struct RegisterFigures {
    int sites = 0;
    int revisions = 0;
    double recordMs = 0;          // one more revision, its changes worked out (median)
    double listSitesMs = 0;       // every site with its counts
    double historyMs = 0;         // one site's revisions, newest first
    double bytesPerRevision = 0;  // the file's growth per revision that changed one setting
};

RegisterFigures MeasureRegister(const QString& folder);

}  // namespace quelvar::bench
