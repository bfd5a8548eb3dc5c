// The command line's front: /S installs or removes without any window, /?
// shows the switches.
#pragma once
#include <windows.h>

#include "install/unattended_logic.h"

enum class CommandLineRun { Dialog, Help, Done };

// Handles the program's command line: Done when it asked for more than the
// dialog and was carried out, Help for /?, each with the process's exit code
// in `*exitCode`; Dialog when the dialog is to open.
CommandLineRun RunCommandLine(const wchar_t* commandLine, unsigned long* exitCode);

// What /S with `options` would do on this machine with the catalog and
// plug-in files in `folder`, written nowhere but to `output` (a line per
// decision, UTF-8 or to the console); `*exitCode` the one it would give.
void LookAheadUnattended(const UnattendedOptions& options, const wchar_t* folder, HANDLE output,
                         unsigned long* exitCode);
