#include "photoshop/editor_logic.h"

#include "common/wide_text.h"
#include "photoshop/editor_locations.h"

bool DerivePhotoshopPath(const wchar_t* folderText, wchar_t* out, size_t size) {
    // Measured in place, so a folder text longer than `out` still gives a path
    // that fits.
    size_t length = WideLength(folderText);
    if (length && folderText[length - 1] == L'\\' && !IsPathRoot(folderText)) --length;
    size_t kept = 0;  // up to and including the last separator
    for (size_t i = 0; i < length; ++i)
        if (folderText[i] == L'\\') kept = i + 1;
    if (!kept)
        for (size_t i = 0; i < length; ++i)
            if (folderText[i] == L'/') kept = i + 1;
    if (!kept)
        return WideCopyCount(out, size, folderText, length) && WideAppend(out, size, L"\\") &&
               WideAppend(out, size, kPhotoshopExe);
    return WideCopyCount(out, size, folderText, kept) && WideAppend(out, size, kPhotoshopExe);
}

namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

// The length of a run of characters up to the next separator.
size_t PartLength(const wchar_t* part) {
    size_t length = 0;
    while (part[length] && !IsSlash(part[length])) ++length;
    return length;
}

}  // namespace

bool IsAbsolutePath(const wchar_t* path) {
    const wchar_t drive = static_cast<wchar_t>(path[0] | 0x20);
    if (drive >= L'a' && drive <= L'z' && path[1] == L':') return IsSlash(path[2]) && path[3];
    if (!IsSlash(path[0]) || !IsSlash(path[1])) return false;
    const wchar_t* server = path + 2;
    const size_t serverLength = PartLength(server);
    // Not "\\?\" or "\\.\": the device namespaces.
    if (!serverLength || (serverLength == 1 && (*server == L'?' || *server == L'.')) || !server[serverLength])
        return false;
    const wchar_t* share = server + serverLength + 1;
    const size_t shareLength = PartLength(share);
    return shareLength && share[shareLength] && share[shareLength + 1];
}

bool FolderOfPath(const wchar_t* path, wchar_t* out, size_t size) {
    size_t cut = 0;
    bool found = false;
    for (size_t i = 0; path[i]; ++i)
        if (IsSlash(path[i])) cut = i, found = true;
    if (!found) return false;
    const size_t kept = cut == 0 || path[cut - 1] == L':' ? cut + 1 : cut;
    return WideCopyCount(out, size, path, kept);
}

bool ComposeOpenCommandKey(const wchar_t* className, wchar_t* out, size_t size) {
    return WideCopy(out, size, className) && WideAppend(out, size, kOpenCommandSuffix);
}

bool ParseOpenCommand(const wchar_t* command, wchar_t* out, size_t size) {
    const size_t length = WideLength(command);
    const size_t ending = WideLength(kDocumentPlaceholder);
    if (length <= ending + 1) return false;
    const wchar_t* tail = command + length - ending;
    for (size_t i = 0; i < ending; ++i)
        if (tail[i] != kDocumentPlaceholder[i]) return false;
    const wchar_t* start = command;
    size_t count = length - ending;
    if (command[0] == L'"') {
        start = command + 1;
        count = length - ending - 1;
        if (start[count - 1] == L'"') --count;
    }
    return count && WideCopyCount(out, size, start, count);
}
