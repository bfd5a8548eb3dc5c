// The catalog's shell: the catalog list and the labels that show an entry.
#pragma once
#include <windows.h>

#include "catalog/catalog_logic.h"

// Reads the catalog beside the program into `*catalog` and the catalog list,
// and shows entry 0. On failure it disables the list and Install, warns, and
// leaves `*catalog` null.
bool LoadPlugInCatalog(HWND dialog, PlugInCatalog** catalog);
// Shows `entry` (null: nothing) in the labels of its fields.
void ShowPlugInEntry(HWND dialog, const PlugInEntry* entry);
