#pragma once
// What the library keeps of a report: its fields as the index stores them,
// and the procedure check's verdict.

#include "library/LibraryStore.h"

class CVtkDoc;
class CVerdictBook;

// The joint's fields from a report the reader has loaded from `path` and
// PrepareSamples has prepared (its highest pressure), with the procedure
// check's verdict ("pass", "fail", "incomplete", or "unknown" for a report
// that is not a butt-fusion pipe joint) by the procedure `verdicts` gives
// for its job (null: the shipped one for every job) and what made it. The
// name tells a cut download from a whole report; `cut` says that these
// bytes were seen as a cut download under another name.
JointFields JointFieldsOf(const CVtkDoc& doc, const QString& path,
                          const CVerdictBook* verdicts = nullptr, bool cut = false);
