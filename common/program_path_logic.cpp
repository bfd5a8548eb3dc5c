#include "common/program_path_logic.h"

#include "common/wide_text.h"

bool ProgramDirFromModuleName(const wchar_t* moduleName, wchar_t* dir, size_t size) {
    size_t cut = 0;
    bool found = false;
    for (size_t i = 0; moduleName[i]; ++i)
        if (moduleName[i] == L'\\') {
            cut = i;
            found = true;
        }
    return found && WideCopyCount(dir, size, moduleName, cut);
}

bool JoinProgramPath(const wchar_t* dir, const wchar_t* name, wchar_t* out, size_t size) {
    const TextArg args[] = {dir, name};
    return FormatText(out, size, L"%s\\%s", args);
}
