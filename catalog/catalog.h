#pragma once
#include <windows.h>

#include "catalog/catalog_file.h"
#include "catalog/catalog_logic.h"

extern PlugInCatalog* g_catalog;

// Loads the catalog beside the program into g_catalog and the catalog list,
// and shows entry 0. On failure it disables the list and Install and warns.
bool LoadPlugInCatalog(HWND dialog);
void ShowPlugInEntry(LRESULT index, HWND dialog);
// The catalog entry selected in the catalog list, or null.
const PlugInEntry* SelectedPlugInEntry(HWND dialog);
