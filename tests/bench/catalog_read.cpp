// The installer's own reading of Corvane.ini beside this program (the reader
// and its Win32 callbacks, without the dialog): the checker's baseline.
// Exits with the number of entries read.
#include <windows.h>

#include "catalog/catalog_file.h"
#include "common/program_path.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t folder[kPathSize];
    if (!GetProgramDir(folder, kPathSize)) return 0;
    CatalogFile file;
    LocateCatalogFile(folder, &file);
    PlugInCatalog* catalog = nullptr;
    return ReadPlugInCatalog(CatalogFileSource(&file), &catalog) == CatalogLoad::Loaded ? catalog->Count : 0;
}
