#include "common/program_path.h"

#include <windows.h>

#include "common/program_path_logic.h"
#include "common/wide_text.h"

static wchar_t g_programDir[kPathSize];

bool GetProgramDir(wchar_t* out, size_t size) {
    if (!g_programDir[0]) {
        wchar_t module[kPathSize];
        DWORD length = GetModuleFileNameW(nullptr, module, kPathSize);
        // A name that filled the buffer may have been cut.
        if (length == 0 || length >= kPathSize) return false;
        if (!ProgramDirFromModuleName(module, g_programDir, kPathSize)) return false;
    }
    return WideCopy(out, size, g_programDir);
}

bool GetProgramPath(const wchar_t* name, wchar_t* out, size_t size) {
    wchar_t dir[kPathSize];
    return GetProgramDir(dir, kPathSize) && JoinProgramPath(dir, name, out, size);
}
