#pragma once
// A job for the dossier's tests, pictures and benchmark: joint reports made
// the way a download makes them, in a folder, and the job as the library's
// index would describe it (fields, hashes, states, reviews and their
// history).

#include "ReportMaker.h"

#include "library/Dossier.h"

#include <functional>

// Job "NW-Main 12": `count` joints, twenty a day from 2024-03-04 07:00 on
// three machines and five employees; one joint in seven fails the shipped
// procedure (a bead pressure too high), one in nine is a plain butt-fusion
// log the check cannot follow. Reports already in `folder` are kept, so a
// benchmark makes them once. Joint j (0 first) is missing when j % 25 == 24
// and offline when j % 40 == 39; one in three is reviewed (accepted, a
// rejection every eleventh, a re-test every thirteenth), each review with
// its history. `adjust` changes a report before it is written.
DossierJob MakeDossierJob(const QString& folder, int count,
                          const std::function<void(int, ReportPlan&)>& adjust = {});
