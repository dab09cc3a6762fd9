#pragma once
// The folder that stands for the handheld's root ("\Joint Reports",
// "\Calibration" live below it): the --root option, else $VTQ_ROOT, else the
// application data folder.

#include <QString>

QString DeviceRoot();

// Set by the --root option, and by tests; an empty path goes back to the
// environment and the default.
void SetDeviceRoot(const QString& path);

// A handheld path such as "\Joint Reports" below the device root.
QString DevicePath(const QString& handheldPath);
