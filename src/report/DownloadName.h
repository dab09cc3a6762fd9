#pragma once
// Names of the files a download leaves when it did not bring the whole
// report. The name is the only mark such a file carries (its header's count
// was rewritten to what came), so every reader that judges a report asks
// here before trusting it.
//
//   "<name> (incomplete).kjr"  a download cut off; what came, the gaps filled
//   "<name> (recovered).kjr"   a ".part" left by a run that was killed
//   "<name> (2).kjr", "<name> (incomplete) (2).kjr", ...
//                               the next free name beside a namesake

#include <QString>

// The report's name with " (N)" put before ".kjr" (N from 2 up); `base` is
// the file name without ".kjr".
QString NumberedReportName(const QString& base, int number);

// True when the file name (a path or a bare name) marks a download that did
// not bring the whole report: its base name, without a trailing " (N)",
// ends in " (incomplete)" or " (recovered)".
bool IsCutDownloadName(const QString& path);
