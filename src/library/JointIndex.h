#pragma once
// What the library keeps of a report: its fields as the index stores them,
// and the procedure check's verdict.

#include "library/LibraryStore.h"

class CVtkDoc;

// The joint's fields from a report the reader has loaded.
JointFields JointFieldsOf(const CVtkDoc& doc);

// The procedure check's verdict for the joint ("pass", "fail",
// "incomplete"), computed once per report when it is indexed. Empty until
// the check is wired in here.
QString JointVerdict(const CVtkDoc& doc);
