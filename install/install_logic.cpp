#include "install/install_logic.h"

#include "common/wide_text.h"

namespace {

// Appends `count` characters of `part` after a backslash, with none doubled
// at the joint.
bool AppendJoined(wchar_t* out, size_t size, const wchar_t* part, size_t count) {
    size_t length = FolderTextLength(out);
    out[length] = 0;
    for (; count && *part == L'\\'; --count) ++part;
    if (!(length && out[length - 1] == L'\\') && !WideAppend(out, size, L"\\")) return false;
    length = WideLength(out);
    return length < size && WideCopyCount(out + length, size - length, part, count);
}

}  // namespace

bool IsBlankFolderText(const wchar_t* folder) {
    for (; *folder; ++folder)
        if (*folder != L' ') return false;
    return true;
}

bool ComposeInstallDestination(const wchar_t* folder, const wchar_t* subFolder, const wchar_t* srcFile,
                               wchar_t* out, size_t size) {
    if (IsBlankFolderText(folder) || !WideCopy(out, size, folder)) return false;
    // The sub-folder's closing backslashes would go at the next joint anyway:
    // leaving them out now keeps a path that fits from looking too long.
    while (*subFolder == L'\\') ++subFolder;
    size_t subLength = WideLength(subFolder);
    while (subLength && subFolder[subLength - 1] == L'\\') --subLength;
    if (subLength && !AppendJoined(out, size, subFolder, subLength)) return false;
    return AppendJoined(out, size, srcFile, WideLength(srcFile));
}

bool ComposeTemporaryPath(const wchar_t* destination, unsigned unique, wchar_t* out, size_t size) {
    size_t folderLength = 0;
    for (size_t i = 0; destination[i]; ++i)
        if (destination[i] == L'\\' || destination[i] == L'/') folderLength = i + 1;
    const size_t room = folderLength < size ? size - 1 - folderLength : 0;  // for the name
    if (room < 2 || !WideCopyCount(out, size, destination, folderLength)) return false;
    const bool full = room >= 11;
    const size_t digits = full || room > 5 ? 4 : room - 1;
    wchar_t name[12];
    size_t n = 0;
    name[n++] = L'~';
    if (full) name[n++] = L'c', name[n++] = L'v';
    for (size_t i = digits; i-- > 0;) name[n++] = L"0123456789abcdef"[(unique >> (4 * i)) & 15];
    name[n] = 0;
    return WideAppend(out, size, name) && (!full || WideAppend(out, size, L".tmp"));
}
