#pragma once
// The text that precedes a joint's notes: the heater temperature offset in
// use and, for a sidewall joint, the fitting base the pressures were made for.
// It goes to the Vantrek with the notes and heads the notes in the report, so
// the record shows what the joint was set up with.

#include <QString>

// The temperature offset text followed by FittingSummary.
QString NotesPrefix();

// `text` with the fitting base appended, separated by ", " when `text` is
// not empty, for a Tarvex Mech. machine or a sidewall joint; with calculated
// pressures the base's stored dimensions follow.
QString FittingSummary(const QString& text);
