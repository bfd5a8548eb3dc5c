#pragma once

// Restricts where every later DLL is searched for to the system folder, and
// loads from there the system DLLs that the program does not import. Called
// first at start. Their functions keep their usual names (see the .cpp);
// where a DLL or function is missing, the call reports failure.
void LoadSystemLibraries();
