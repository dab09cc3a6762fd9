#pragma once
// The handheld's power: battery charge, charging, mains. Read from
// /sys/class/power_supply; tests give a fixed status.

#include <optional>

struct PowerStatus {
    int batteryPercent = -1; // 0..100, or -1 when unknown
    bool charging = false;
    bool acOnline = false;
};

// nullopt when the status cannot be read at all.
std::optional<PowerStatus> ReadPowerStatus();

// Makes ReadPowerStatus() return `status` (nullopt: the real status again).
void SetFakePowerStatus(std::optional<std::optional<PowerStatus>> status);

// Keeps the machine from suspending while the Vantrek is connected. Nothing
// to do on a desktop; counted for tests.
void ResetIdleTimer();
int IdleTimerResets();

// The handheld vendor's "awclib" library, which decides the report root and
// whether a storage-card backup is made. It does not exist on this platform;
// tests may pretend it does.
bool AwcLibraryPresent();
void SetFakeAwcLibrary(bool present);
