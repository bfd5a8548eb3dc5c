// The editor's program: where it is, and starting it.
#pragma once
#include <cstddef>

// `path` (`size` characters): Photoshop's program for the plug-in folder text
// (null: none), beside that folder or else from the .psd association. Start
// Photoshop starts it, and Install reads its machine type.
bool FindPhotoshopProgram(const wchar_t* folder, wchar_t* path, size_t size);
// `path` (`size` characters) from the .psd document class's open command.
bool FindPhotoshopByAssociation(wchar_t* path, size_t size);
// Starts, through the desktop shell, Photoshop's program for the plug-in
// folder text `folder` (null: none), in its own folder, when it is a program.
// False when none is found, it is no program, or no shell takes it.
bool LaunchPhotoshop(const wchar_t* folder);
