// The command line's front: /S installs or removes without any window, /?
// shows the switches.
#pragma once

// Handles the program's command line when it asks for more than the
// dialog: true, with the process's exit code in `*exitCode`; false when the
// dialog is to open.
bool RunCommandLine(const wchar_t* commandLine, unsigned long* exitCode);
