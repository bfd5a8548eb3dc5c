#include "common/program_path_logic.h"

#include <initializer_list>

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

bool IsInsideFolder(const wchar_t* folderFinal, const wchar_t* fileFinal) {
    const size_t length = WideLength(folderFinal);
    if (!length) return false;
    // A root such as "\\?\C:\" ends in its own backslash: a name follows it at once.
    const bool root = folderFinal[length - 1] == L'\\';
    if (WideLength(fileFinal) <= length + (root ? 0 : 1)) return false;
    for (size_t i = 0; i < length; ++i)
        if (fileFinal[i] != folderFinal[i]) return false;
    return root || fileFinal[length] == L'\\';
}

bool JoinProgramPath(const wchar_t* dir, const wchar_t* name, wchar_t* out, size_t size) {
    const TextArg args[] = {dir, name};
    return FormatText(out, size, L"%s\\%s", args);
}

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

namespace {

bool IsForbiddenInName(wchar_t c) {
    if (c < 0x20) return true;
    for (const wchar_t* p = L":<>\"|?*"; *p; ++p)
        if (c == *p) return true;
    return false;
}

// The system opens the device for such a name, with any extension, in any folder.
bool IsDeviceName(const wchar_t* part, size_t length) {
    size_t base = 0;
    while (base < length && part[base] != L'.') ++base;
    while (base > 0 && part[base - 1] == L' ') --base;
    wchar_t name[8];
    if (base >= 8 || !WideCopyCount(name, 8, part, base)) return false;
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (AsciiCaseCompare(name, device) == 0) return true;
    if (base != 4) return false;
    const wchar_t digit = name[3];
    name[3] = 0;
    const bool numbered = (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    return numbered && (AsciiCaseCompare(name, L"COM") == 0 || AsciiCaseCompare(name, L"LPT") == 0);
}

bool IsSafePart(const wchar_t* part, size_t length) {
    if (length == 0) return false;
    bool dotsAndSpaces = true;
    for (size_t i = 0; i < length; ++i)
        if (part[i] != L'.' && part[i] != L' ') dotsAndSpaces = false;
    if (dotsAndSpaces && !(length == 1 && part[0] == L'.')) return false;
    return !IsDeviceName(part, length);
}

}  // namespace

bool IsSafeRelativeFileName(const wchar_t* name) {
    if (!name[0] || IsPathSeparator(name[0])) return false;
    const wchar_t* part = name;
    for (const wchar_t* p = name;; ++p) {
        if (*p && !IsPathSeparator(*p)) {
            if (IsForbiddenInName(*p)) return false;
            continue;
        }
        if (!IsSafePart(part, static_cast<size_t>(p - part))) return false;
        // A name ending in "." names a folder (".", "sub\."), not a file.
        if (!*p) return !(p - part == 1 && *part == L'.');
        part = p + 1;
    }
}
