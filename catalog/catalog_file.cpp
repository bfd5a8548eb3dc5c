#include "catalog/catalog_file.h"

#include <cstdint>

#include "common/program_path_logic.h"
#include "common/texts.h"

namespace {

long ReadCount(void* context) {
    auto* file = static_cast<CatalogFile*>(context);
    if (!file->located) return 0;
    return static_cast<int>(GetPrivateProfileIntW(kIndexSection, kCountKey, 0, file->path));
}

void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                wchar_t* out, size_t size) {
    auto* file = static_cast<CatalogFile*>(context);
    if (!file->located) {
        WideCopy(out, size, fallback);
        return;
    }
    GetPrivateProfileStringW(section, key, fallback, out, static_cast<DWORD>(size), file->path);
}

int ReadVersion(void* context, const wchar_t* srcFile, wchar_t* out, size_t) {
    auto* file = static_cast<CatalogFile*>(context);
    wchar_t path[kPathSize];
    return file->located && JoinProgramPath(file->folder, srcFile, path, kPathSize) && GetFileVersionText(path, out);
}

// The index section's key names, in a buffer grown until the list fits; a
// list longer than any sane catalog's is not read (every key is then read).
const wchar_t* ListIndexKeys(void* context) {
    auto* file = static_cast<CatalogFile*>(context);
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

void LocateCatalogFile(const wchar_t* folder, CatalogFile* file) {
    file->located = folder && WideCopy(file->folder, kPathSize, folder) &&
                    JoinProgramPath(folder, kCatalogFileName, file->path, kPathSize);
    file->indexKeys = nullptr;
}

void ReleaseCatalogFile(CatalogFile* file) {
    if (file->indexKeys) HeapFree(GetProcessHeap(), 0, file->indexKeys);
    file->indexKeys = nullptr;
}

CatalogSource CatalogFileSource(CatalogFile* file) {
    return CatalogSource{file, ReadCount, ReadString, ReadVersion, Allocate, SIZE_MAX, ListIndexKeys};
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
