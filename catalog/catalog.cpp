#include "catalog/catalog.h"

#include <cstdint>

#include "common/control_ids.h"
#include "common/program_path.h"
#include "common/texts.h"
#include "common/wide_text.h"

namespace {

struct ProfileFile {
    wchar_t path[kPathSize];
    bool located;
    wchar_t* indexKeys;
};

long ReadCount(void* context) {
    auto* file = static_cast<ProfileFile*>(context);
    if (!file->located) return 0;
    return static_cast<int>(GetPrivateProfileIntW(kIndexSection, kCountKey, 0, file->path));
}

void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                wchar_t* out, size_t size) {
    auto* file = static_cast<ProfileFile*>(context);
    if (!file->located) {
        WideCopy(out, size, fallback);
        return;
    }
    GetPrivateProfileStringW(section, key, fallback, out, static_cast<DWORD>(size), file->path);
}

int ReadVersion(void*, const wchar_t* srcFile, wchar_t* out, size_t) {
    wchar_t path[kPathSize];
    return GetProgramPath(srcFile, path) && GetFileVersionText(path, out);
}

// The index section's key names, in a buffer grown until the list fits; a
// list longer than any sane catalog's is not read (every key is then read).
const wchar_t* ListIndexKeys(void* context) {
    auto* file = static_cast<ProfileFile*>(context);
    if (!file->located) return nullptr;
    for (DWORD size = 4096; size <= (1u << 24); size *= 4) {
        auto* keys = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, size * sizeof(wchar_t)));
        if (!keys) return nullptr;
        // A list cut to fit returns size - 2.
        DWORD length = GetPrivateProfileStringW(kIndexSection, nullptr, L"", keys, size, file->path);
        if (length < size - 2) {
            keys[length] = 0;  // terminates the list even when it is empty
            file->indexKeys = keys;
            return keys;
        }
        HeapFree(GetProcessHeap(), 0, keys);
    }
    return nullptr;
}

void* Allocate(void*, uint64_t bytes) {
    if (bytes > SIZE_MAX) return nullptr;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(bytes));
}

}  // namespace

bool LoadPlugInCatalog(HWND dialog) {
    ProfileFile file;
    file.located = GetProgramPath(kCatalogFileName, file.path);
    file.indexKeys = nullptr;
    const CatalogSource source{&file, ReadCount, ReadString, ReadVersion, Allocate, SIZE_MAX, ListIndexKeys};
    PlugInCatalog* catalog = nullptr;
    CatalogLoad result = ReadPlugInCatalog(source, &catalog);
    if (file.indexKeys) HeapFree(GetProcessHeap(), 0, file.indexKeys);
    if (result != CatalogLoad::Loaded) {
        EnableWindow(GetDlgItem(dialog, IDC_PLUGIN_LIST), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_INSTALL), FALSE);
        MessageBoxW(dialog, result == CatalogLoad::Empty ? kEmptyCatalogText : kOutOfMemoryText,
                    kCatalogWarningCaption, MB_OK | MB_ICONWARNING);
        return false;
    }
    g_catalog = catalog;
    HWND list = GetDlgItem(dialog, IDC_PLUGIN_LIST);
    // Room for every item at once, rather than growing the list item by item;
    // and no scroll bar update and repaint for each item (4/5 of the time of
    // 100,000 items under Wine).
    SendMessageW(list, CB_INITSTORAGE, static_cast<WPARAM>(catalog->Count),
                 static_cast<LPARAM>(catalog->Count) * 16 * sizeof(wchar_t));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (long i = 0; i < catalog->Count; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(catalog->Entries[i].Name));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    ShowPlugInEntry(0, dialog);
    return true;
}

void ShowPlugInEntry(LRESULT index, HWND dialog) {
    const PlugInEntry* entry = CatalogEntryAt(g_catalog, static_cast<long>(index));
    if (!entry) return;
    SetDlgItemTextW(dialog, IDC_SRC_FILE, entry->SrcFile);
    SetDlgItemTextW(dialog, IDC_FILE_VERSION, entry->FileVersion);
    SetDlgItemTextW(dialog, IDC_DESCRIPTION, entry->Description);
}

const PlugInEntry* SelectedPlugInEntry(HWND dialog) {
    LRESULT index = SendDlgItemMessageW(dialog, IDC_PLUGIN_LIST, CB_GETCURSEL, 0, 0);
    return CatalogEntryAt(g_catalog, static_cast<long>(index));
}

int GetFileVersionText(const wchar_t* path, wchar_t* text) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) return 0;
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
    if (!block) return 0;
    int found = 0;
    void* translation = nullptr;
    UINT translationBytes = 0;
    if (GetFileVersionInfoW(path, handle, size, block) &&
        VerQueryValueW(block, kTranslationBlock, &translation, &translationBytes) && translation &&
        translationBytes >= 4) {
        const WORD* pair = static_cast<const WORD*>(translation);
        wchar_t name[64];
        VersionSubBlockName(pair[0], pair[1], name, 64);
        void* value = nullptr;
        UINT valueChars = 0;
        if (VerQueryValueW(block, name, &value, &valueChars) && value) {
            // The length counts characters; the string need not be terminated
            // inside the block, so copy no more than it says.
            WideCopyCount(text, kVersionTextSize, static_cast<const wchar_t*>(value), valueChars);
            found = 1;
        }
    }
    HeapFree(GetProcessHeap(), 0, block);
    return found;
}
