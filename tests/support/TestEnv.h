#pragma once
// Every test starts from an empty settings store, an empty root folder, the
// process-wide state of start-up and the real clock; TestMain sets this up
// around each test. These give a test the folders in use.

#include <QString>

QString TestSettingsFolder();
QString TestRootFolder();
// The folder searched for storage cards: empty unless a test adds a card.
QString TestMediaFolder();
