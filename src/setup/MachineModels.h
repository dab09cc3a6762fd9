#pragma once
// The fusion machines the program knows, with the total effective piston area
// each one supplies, and the machine family tests that decide which wizard
// pages appear and where a joint's area comes from.

#include <QString>
#include <array>

struct MachineModelRow {
    const char* pistonArea; // in², three decimals, shown as written
    const char* name;
};

constexpr int kMachineModelCount = 68;
// The last row stands for a machine typed in by hand.
constexpr int kUnlistedModelInx = kMachineModelCount - 1;

// In the order of the model list.
extern const std::array<MachineModelRow, kMachineModelCount> MachineModelTable;

// The text the model list shows for a row: its name, "Unlisted" for the last.
QString MachineModelListText(int index);

// The family tests are plain case-sensitive substring searches, so a model
// typed as "Unlisted" belongs to a family by its name.
bool IsTarvexMech(); // on g_strMachineModel
bool IsOrbalt(const QString& model);
bool IsTarvexLD(const QString& model);
bool UsesDirectPipeArea(const QString& model);

// Whether a model (by its list text) may be used for sidewall fusion: its
// name must leave room for the " SW" suffix within 20 characters, and the
// mechanical, Orbalt and dedicated sidewall machines are excluded.
bool SidewallFusionAllowed(const QString& listText);
