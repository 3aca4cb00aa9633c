#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>

#include "userdata/installation.h"

namespace velmora {

// Shows a task dialog and gives the pressed button; the result of TaskDialogIndirect.
using UpgradeDialog = std::function<HRESULT(const TASKDIALOGCONFIG& config, int& button)>;

// The platform's task dialog (version 6 of the common controls), or AskWithMessageBox where the
// process has no version 6.
HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int& button);

// The same question in a message box: the main instruction, the content and the choices' texts in
// their order, answered with Yes for the first (the default) and No for the second.
HRESULT AskWithMessageBox(const TASKDIALOGCONFIG& config, int& button);

// After an upgrade (JustUpgraded in the product key, read through readKey) asks whether to keep or
// reset the custom settings, acts on the answer, clears the marker and marks every stored profile.
// Without the marker, a reset folder left under its temporary name takes the next free number.
// The texts come from the string table of `resources`.
void HandleUpgrade(HKEY readKey, const InstallationNames& names, HINSTANCE resources = ::GetModuleHandleW(nullptr),
                   const UpgradeDialog& dialog = ShowTaskDialog);

// The upgrade question of a start: HandleUpgrade over the current user's product key, when there
// is one. On a window station nobody sees, the question is not asked and the marker stays for a
// later start.
void AskAboutUpgrade(const InstallationNames& names);

// Copies the files of `folder` matching `pattern` into `target` or, when it is empty, into a new
// folder <folder>\BackUpCfgNN (the lowest free number of 01..99; 99 when none is free), deleting
// each source whose copy succeeded when `removeSources` is set. A pattern "*.<ext>" takes only
// files whose long name ends so: the platform also matches short names. False when nothing matched
// or the names do not fit; a backup folder already made stays, empty. With `removeSources` the
// files are moved, and a folder whose rename is refused for good keeps its temporary name.
bool BackupFiles(const std::wstring& folder, const std::wstring& pattern, const std::wstring& target,
                 bool removeSources);

}  // namespace velmora
