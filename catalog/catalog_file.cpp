#include "catalog/catalog_file.h"

#include <algorithm>
#include <cstdint>

#include "catalog/catalog_keys.h"
#include "common/program_path.h"
#include "common/program_path_logic.h"
#include "common/version_resource_logic.h"

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

}  // namespace

struct KnownVersion {
    bool used;
    bool found;
    DWORD volume, indexHigh, indexLow;
    wchar_t text[kVersionTextSize];
};

namespace {

KnownVersion* FindKnownVersion(KnownVersion* table, size_t capacity, const BY_HANDLE_FILE_INFORMATION& id) {
    size_t at = (id.nFileIndexLow * 2654435761u ^ id.nFileIndexHigh ^ id.dwVolumeSerialNumber) & (capacity - 1);
    for (;; at = (at + 1) & (capacity - 1)) {
        KnownVersion& known = table[at];
        if (!known.used || (known.volume == id.dwVolumeSerialNumber && known.indexHigh == id.nFileIndexHigh &&
                            known.indexLow == id.nFileIndexLow))
            return &known;
    }
}

// The slot for the file `id`, in a table kept at most half full; null when
// no room can be had (the file is then read without being kept).
KnownVersion* KnownVersionSlot(CatalogFile* file, const BY_HANDLE_FILE_INFORMATION& id) {
    if (2 * (file->versionCount + 1) > file->versionCapacity) {
        const size_t capacity = file->versionCapacity ? 2 * file->versionCapacity : 64;
        auto* table = static_cast<KnownVersion*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                           capacity * sizeof(KnownVersion)));
        if (!table) return nullptr;
        for (size_t i = 0; i < file->versionCapacity; ++i)
            if (file->versions[i].used) {
                BY_HANDLE_FILE_INFORMATION old = {};
                old.dwVolumeSerialNumber = file->versions[i].volume;
                old.nFileIndexHigh = file->versions[i].indexHigh;
                old.nFileIndexLow = file->versions[i].indexLow;
                *FindKnownVersion(table, capacity, old) = file->versions[i];
            }
        if (file->versions) HeapFree(GetProcessHeap(), 0, file->versions);
        file->versions = table;
        file->versionCapacity = capacity;
    }
    return FindKnownVersion(file->versions, file->versionCapacity, id);
}

// Read only from a file that lies inside the folder, links followed.
bool ReadVersion(void* context, const wchar_t* srcFile, wchar_t* out, size_t size) {
    using FolderFinal = CatalogFile::FolderFinal;
    auto* file = static_cast<CatalogFile*>(context);
    if (!file->located) return false;
    if (file->folderFinalRead == FolderFinal::NotRead)
        file->folderFinalRead = GetFolderFinalPath(file->folder, file->folderFinal, kFinalPathSize)
                                    ? FolderFinal::Read
                                    : FolderFinal::Unreadable;
    if (file->folderFinalRead == FolderFinal::Unreadable) return false;
    DWORD code;
    HANDLE plugIn;
    if (!OpenFileInside(file->folder, file->folderFinal, srcFile, &plugIn, &code)) return false;
    BY_HANDLE_FILE_INFORMATION id;
    KnownVersion* known = GetFileInformationByHandle(plugIn, &id) ? KnownVersionSlot(file, id) : nullptr;
    bool found;
    // Kept whole only at the catalog's own size.
    if (known && known->used && size <= kVersionTextSize) {
        found = known->found;
        if (found) WideCopy(out, size, known->text);
    } else {
        found = GetFileVersionText(plugIn, out, size);
        if (known && !known->used && size == kVersionTextSize) {
            *known = KnownVersion{true, found, id.dwVolumeSerialNumber, id.nFileIndexHigh, id.nFileIndexLow, {}};
            if (found) WideCopy(known->text, kVersionTextSize, out);
            ++file->versionCount;
        }
    }
    CloseHandle(plugIn);
    return found;
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
    file->folderFinalRead = CatalogFile::FolderFinal::NotRead;
    file->versions = nullptr;
    file->versionCount = file->versionCapacity = 0;
}

void ReleaseCatalogFile(CatalogFile* file) {
    if (file->indexKeys) HeapFree(GetProcessHeap(), 0, file->indexKeys);
    file->indexKeys = nullptr;
    if (file->versions) HeapFree(GetProcessHeap(), 0, file->versions);
    file->versions = nullptr;
    file->versionCount = file->versionCapacity = 0;
}

CatalogSource CatalogFileSource(CatalogFile* file) {
    return CatalogSource{file, ReadCount, ReadString, ReadVersion, Allocate, SIZE_MAX, ListIndexKeys};
}

CatalogLoad ReadCatalogIn(const wchar_t* folder, PlugInCatalog** catalog) {
    wchar_t programDir[kPathSize];
    CatalogFile file;
    LocateCatalogFile(folder ? folder : GetProgramDir(programDir, kPathSize) ? programDir : nullptr, &file);
    *catalog = nullptr;
    CatalogLoad result = ReadPlugInCatalog(CatalogFileSource(&file), catalog);
    ReleaseCatalogFile(&file);
    return result;
}

namespace {

// The headers and the resource tree are read a few bytes at a time: each
// 4 KiB page is read from the file once (a file read costs a system call).
struct PagedImage {
    static constexpr uint64_t kPage = 4096;
    HANDLE file;
    uint64_t fileSize;
    uint64_t pageOffset = UINT64_MAX;
    uint8_t page[kPage];
};

bool ReadPaged(void* context, uint64_t offset, void* out, size_t size) {
    auto* image = static_cast<PagedImage*>(context);
    if (offset > image->fileSize || size > image->fileSize - offset) return false;
    const uint64_t start = offset & ~(PagedImage::kPage - 1);
    if (offset + size > start + PagedImage::kPage) return ReadFileAt(image->file, offset, out, size);
    if (image->pageOffset != start) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(PagedImage::kPage, image->fileSize - start));
        if (!ReadFileAt(image->file, start, image->page, length)) return false;
        image->pageOffset = start;
    }
    CopyMemory(out, image->page + (offset - start), size);
    return true;
}

// The version block of the image open as `file`, in the language the
// system's resource loader would choose for this user, into `block`
// (kVersionBlockSize bytes); `*length` is how much of it counts.
bool ReadVersionBlockOf(HANDLE file, uint8_t* block, size_t* length) {
    PagedImage image;
    image.file = file;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file, &fileSize)) return false;
    image.fileSize = static_cast<uint64_t>(fileSize.QuadPart);
    uint16_t languages[kResourceLanguageCount];
    ResourceLanguageOrder(GetUserDefaultUILanguage(), languages);
    return ReadVersionBlock(ImageReader{&image, ReadPaged}, languages, kResourceLanguageCount, block, length);
}

}  // namespace

bool GetFileVersionText(HANDLE file, wchar_t* text, size_t textSize) {
    auto* block = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kVersionBlockSize));
    if (!block) return false;
    size_t length;
    const bool found = ReadVersionBlockOf(file, block, &length) && VersionTextFromResource(block, length, text, textSize);
    HeapFree(GetProcessHeap(), 0, block);
    return found;
}

bool GetFileVersionNumber(HANDLE file, uint64_t* version) {
    auto* block = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kVersionBlockSize));
    if (!block) return false;
    size_t length;
    const bool found = ReadVersionBlockOf(file, block, &length) && FixedVersionFromResource(block, length, version);
    HeapFree(GetProcessHeap(), 0, block);
    return found;
}
