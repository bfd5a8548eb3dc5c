#include "photoshop/folders.h"

#include <windows.h>

#include <io.h>

#include "common/registry_text.h"
#include "photoshop/editor_locations.h"
#include "photoshop/folders_logic.h"

namespace {

constexpr DWORD kVersionKeyNameSize = 32;

// The first plug-in folder name that exists under the install folder.
bool FindPlugInFolderOf(const wchar_t* installPath, wchar_t (&folder)[kPathSize]) {
    for (const wchar_t* name : kPlugInFolderNames)
        if (ComposePlugInFolderCandidate(installPath, name, folder, kPathSize) && _waccess(folder, 0) == 0)
            return true;
    return false;
}

// Whether the folder equals one of the list's first `count` folders.
bool IsListed(const PlugInFolderList& list, size_t count, const wchar_t* folder) {
    for (size_t item = 0; item < count; ++item)
        if (SamePlugInFolder(list.folders[item], folder)) return true;
    return false;
}

// Lists the plug-in folder of each version key in one registry view, in the
// registry's order. A key that cannot be used (one an uninstaller left behind,
// or a name longer than the buffer) is skipped: keys enumerate in text order,
// so stopping there would hide every newer version after an old leftover. A
// folder equal to one of the list's first `known` items is left out; the
// view's own repeats stay, as they always have.
void AddPlugInFoldersOfView(PlugInFolderList* list, REGSAM view, size_t known) {
    HKEY root;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPhotoshopKey, 0, KEY_READ | view, &root) != ERROR_SUCCESS) return;
    for (DWORD index = 0; list->count < kMaxPlugInFolders; ++index) {
        wchar_t name[kVersionKeyNameSize];
        DWORD nameSize = kVersionKeyNameSize;
        const LONG enumerated = RegEnumKeyExW(root, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (enumerated == ERROR_MORE_DATA) continue;
        if (enumerated != ERROR_SUCCESS) break;
        HKEY version;
        if (RegOpenKeyExW(root, name, 0, KEY_READ | view, &version) != ERROR_SUCCESS) continue;
        // One more than a path: the longest path with a backslash already closing it.
        wchar_t installPath[kPathSize + 1];
        bool readable = ReadRegistryText(version, kApplicationPathValue, installPath, kPathSize + 1);
        RegCloseKey(version);
        wchar_t folder[kPathSize];
        if (readable && FindPlugInFolderOf(installPath, folder) && !IsListed(*list, known, folder))
            WideCopy(list->folders[list->count++], kPathSize, folder);
    }
    RegCloseKey(root);
}

}  // namespace

bool FindRegistryPlugInFolders(PlugInFolderList** out) {
    auto* list = static_cast<PlugInFolderList*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PlugInFolderList)));
    *out = list;
    if (!list) return false;
    // The 32-bit view first, as the program has always read it; then the
    // 64-bit view, the only one where 64-bit editors keep their version keys.
    // On 32-bit Windows both name the one registry, and the second adds nothing.
    AddPlugInFoldersOfView(list, KEY_WOW64_32KEY, 0);
    AddPlugInFoldersOfView(list, KEY_WOW64_64KEY, list->count);
    return true;
}

void FreePlugInFolderList(PlugInFolderList* list) {
    if (list) HeapFree(GetProcessHeap(), 0, list);
}

bool ListSubFolderNames(const wchar_t* folder, const wchar_t* preferred1, const wchar_t* preferred2,
                        const SubFolderSink& sink, int* preferred) {
    wchar_t listed[kPathSize], pattern[kPathSize];
    if (!folder || !WideCopy(listed, kPathSize, folder) || !ComposeListingPattern(listed, kPathSize, pattern, kPathSize) ||
        _waccess(listed, 0) != 0)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW(pattern, &found);
    if (listing == INVALID_HANDLE_VALUE) return false;
    SubFolderPick pick;
    do {
        if (!IsListedSubFolder(found.dwFileAttributes, found.cFileName)) continue;
        sink.add(sink.context, found.cFileName);
        AddListedSubFolder(&pick, found.cFileName, preferred1, preferred2);
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    *preferred = PickedSubFolder(pick);
    return true;
}
