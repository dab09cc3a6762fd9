#pragma once
// What the library keeps of a report: its fields as the index stores them,
// and the procedure check's verdict.

#include "library/LibraryStore.h"

class CVtkDoc;

// The joint's fields from a report the reader has loaded from `path` and
// PrepareSamples has prepared (its highest pressure). The name tells a cut
// download from a whole report.
JointFields JointFieldsOf(const CVtkDoc& doc, const QString& path);

// The procedure check's verdict for the joint against the shipped procedure
// ("pass", "fail", "incomplete", or "unknown" for a report that is not a
// butt-fusion pipe joint), computed once per report when it is indexed; the
// file's name tells a download that was cut off.
QString JointVerdict(const CVtkDoc& doc, const QString& path);
