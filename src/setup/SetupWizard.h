#pragma once
// The joint setup wizard, run by the Log/Status window's "Setup..." button:
// the pages that collect a joint's setup, in the order the machine family and
// the sidewall choice call for, ending with "Start", which leaves the joint
// information record in the window's command buffer for upload.

class CLogStatusDlg;

void RunSetupWizard(CLogStatusDlg& session);
