#pragma once
// What the machine says about itself: the platform's OEM information text
// (vendor and product name from /sys/class/dmi/id, else the host name), and
// the two calls of the handheld vendor's "awclib" library, which does not
// exist on this platform. Tests give fixed answers.

#include <QString>
#include <QtGlobal>
#include <optional>

// False when the machine gives no text at all.
bool GetOemInfo(QString& text);
// Makes GetOemInfo() answer `text`, or fail with nullopt inside; an outer
// nullopt goes back to the real machine.
void SetFakeOemInfo(std::optional<std::optional<QString>> text);

// The library's calls: the handheld's serial number (false when the library
// or the call is missing or fails) and its OS revision, whose highest byte is
// the major revision (0 when missing). They answer only while the library is
// present (AwcLibraryPresent, platform/Power.h).
bool AwcGetSerialNumber(QString& serial);
quint32 AwcGetProductOSRevision();
// What a present library answers; nullopt serial: the call fails.
void SetFakeAwcAnswers(std::optional<QString> serial, quint32 revision);
