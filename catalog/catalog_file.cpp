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

// A catalog larger than this is left to the profile functions.
constexpr LONGLONG kImageBytes = 64ll << 20;

// Reads the catalog once, as UTF-16LE text after its byte-order mark (the
// form the packager ships), and indexes it; false for anything else.
bool ReadProfileImage(CatalogFile* file) {
    HANDLE handle = CreateFileW(file->path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    unsigned char* bytes = nullptr;
    bool read = GetFileSizeEx(handle, &size) && size.QuadPart >= 2 && size.QuadPart <= kImageBytes &&
                !(size.QuadPart & 1) &&
                (bytes = static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(size.QuadPart))));
    read = read && ReadFileAt(handle, 0, bytes, static_cast<size_t>(size.QuadPart)) && bytes[0] == 0xFF && bytes[1] == 0xFE;
    CloseHandle(handle);
    if (!read) {
        if (bytes) HeapFree(GetProcessHeap(), 0, bytes);
        return false;
    }
    const auto* text = reinterpret_cast<const wchar_t*>(bytes + 2);
    const size_t length = static_cast<size_t>(size.QuadPart) / 2 - 1;
    size_t lines, slots;
    ProfileImageRoom(text, length, &lines, &slots);
    // The text and its index in one block, freed with the file.
    const size_t textBytes = (static_cast<size_t>(size.QuadPart) + 7) & ~size_t{7};
    auto* block = static_cast<unsigned char*>(
        HeapReAlloc(GetProcessHeap(), 0, bytes, textBytes + lines * sizeof(ProfileLine) + slots * sizeof(uint32_t)));
    if (!block) {
        HeapFree(GetProcessHeap(), 0, bytes);
        return false;
    }
    file->imageBlock = block;
    auto* lineRoom = reinterpret_cast<ProfileLine*>(block + textBytes);
    auto* slotRoom = reinterpret_cast<uint32_t*>(lineRoom + lines);
    return BuildProfileImage(reinterpret_cast<const wchar_t*>(block + 2), length, lineRoom, lines, slotRoom, slots,
                             &file->image);
}

void ReadString(void* context, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                wchar_t* out, size_t size) {
    auto* file = static_cast<CatalogFile*>(context);
    if (!file->located) {
        WideCopy(out, size, fallback);
        return;
    }
    using ImageRead = CatalogFile::ImageRead;
    if (file->imageRead == ImageRead::NotRead)
        file->imageRead = ReadProfileImage(file) ? ImageRead::Read : ImageRead::LeftToProfile;
    const wchar_t* value;
    size_t length;
    const ProfileAnswer answer = file->imageRead == ImageRead::Read && size && PlainProfileFallback(fallback)
                                     ? FindProfileValue(file->image, section, key, &value, &length)
                                     : ProfileAnswer::Unsure;
    if (answer == ProfileAnswer::Found) {
        WideCopyCount(out, size, value, length);
    } else if (answer == ProfileAnswer::Missing) {
        WideCopy(out, size, fallback);
    } else {
        GetPrivateProfileStringW(section, key, fallback, out, static_cast<DWORD>(size), file->path);
    }
}

}  // namespace

struct KnownVersion {
    bool used;
    bool found;
    // Where the file lies: a known folder's number, or above 2^32 its volume's
    // serial number; and its index there.
    uint64_t place, index;
    wchar_t text[kVersionTextSize];
};

namespace {

KnownVersion* FindKnownVersion(KnownVersion* table, size_t capacity, uint64_t place, uint64_t index) {
    size_t at = static_cast<size_t>((index * 2654435761u) ^ (index >> 32) ^ place ^ (place >> 32)) & (capacity - 1);
    for (;; at = (at + 1) & (capacity - 1)) {
        KnownVersion& known = table[at];
        if (!known.used || (known.place == place && known.index == index)) return &known;
    }
}

// The slot for the file `index` at `place`, in a table kept at most
// half full; null when no room can be had (the file is then read without
// being kept).
KnownVersion* KnownVersionSlot(CatalogFile* file, uint64_t place, uint64_t index) {
    if (2 * (file->versionCount + 1) > file->versionCapacity) {
        const size_t capacity = file->versionCapacity ? 2 * file->versionCapacity : 64;
        auto* table = static_cast<KnownVersion*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                           capacity * sizeof(KnownVersion)));
        if (!table) return nullptr;
        for (size_t i = 0; i < file->versionCapacity; ++i)
            if (file->versions[i].used)
                *FindKnownVersion(table, capacity, file->versions[i].place, file->versions[i].index) =
                    file->versions[i];
        if (file->versions) HeapFree(GetProcessHeap(), 0, file->versions);
        file->versions = table;
        file->versionCapacity = capacity;
    }
    return FindKnownVersion(file->versions, file->versionCapacity, place, index);
}

// The number of the folder that holds the file at `final`, among the few
// kept; false beyond them. A file's index is unique on its volume and a
// folder lies on one volume, so folder and index name one file, found
// without asking the volume for its serial number (slow under Wine), which
// tells the files of other folders apart.
bool ParentFolder(CatalogFile* file, const wchar_t* final, DWORD* parent) {
    size_t length = WideLength(final);
    while (length && final[length - 1] != L'\\') --length;
    for (DWORD i = 0; i < file->parentCount; ++i)
        if (!wcsncmp(file->parents[i], final, length) && !file->parents[i][length]) {
            *parent = i;
            return true;
        }
    if (file->parentCount == kKnownFolders) return false;
    if (!file->parents) file->parents = static_cast<wchar_t(*)[kFinalPathSize]>(
                            HeapAlloc(GetProcessHeap(), 0, kKnownFolders * sizeof(*file->parents)));
    if (!file->parents || !WideCopyCount(file->parents[file->parentCount], kFinalPathSize, final, length)) return false;
    *parent = file->parentCount++;
    return true;
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
    wchar_t final[kFinalPathSize];
    HANDLE plugIn;
    if (!OpenFileInside(file->folder, file->folderFinal, srcFile, final, &plugIn, &code)) return false;
    DWORD parent;
    uint64_t place = 0, index = 0;
    BY_HANDLE_FILE_INFORMATION id;
    bool identified = GetFileIndex(plugIn, &index) && ParentFolder(file, final, &parent);
    if (identified) {
        place = parent;
    } else if ((identified = GetFileInformationByHandle(plugIn, &id))) {
        place = (uint64_t{1} << 32) | id.dwVolumeSerialNumber;
        index = (static_cast<uint64_t>(id.nFileIndexHigh) << 32) | id.nFileIndexLow;
    }
    KnownVersion* known = identified ? KnownVersionSlot(file, place, index) : nullptr;
    bool found;
    // Kept whole only at the catalog's own size.
    if (known && known->used && size <= kVersionTextSize) {
        found = known->found;
        if (found) WideCopy(out, size, known->text);
    } else {
        found = GetFileVersionText(plugIn, out, size);
        if (known && !known->used && size == kVersionTextSize) {
            *known = KnownVersion{true, found, place, index, {}};
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
    file->imageRead = CatalogFile::ImageRead::NotRead;
    file->imageBlock = nullptr;
    file->parents = nullptr;
    file->parentCount = 0;
}

void ReleaseCatalogFile(CatalogFile* file) {
    if (file->indexKeys) HeapFree(GetProcessHeap(), 0, file->indexKeys);
    file->indexKeys = nullptr;
    if (file->versions) HeapFree(GetProcessHeap(), 0, file->versions);
    file->versions = nullptr;
    file->versionCount = file->versionCapacity = 0;
    if (file->imageBlock) HeapFree(GetProcessHeap(), 0, file->imageBlock);
    if (file->parents) HeapFree(GetProcessHeap(), 0, file->parents);
    file->parents = nullptr;
    file->parentCount = 0;
    file->imageBlock = nullptr;
    file->imageRead = CatalogFile::ImageRead::NotRead;
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

// The headers and the resource tree are read a few bytes at a time: the
// file's first 16 KiB, which hold the headers and in a small plug-in the
// resources too, in one read (each read costs a round trip under Wine), and
// beyond them each 4 KiB page once.
struct PagedImage {
    static constexpr uint64_t kPage = 4096;
    static constexpr size_t kHead = 16384;
    HANDLE file;
    uint64_t fileSize;
    size_t headSize;
    uint8_t head[kHead];
    uint64_t pageOffset = UINT64_MAX;
    uint8_t page[kPage];
};

bool ReadPaged(void* context, uint64_t offset, void* out, size_t size) {
    auto* image = static_cast<PagedImage*>(context);
    if (offset > image->fileSize || size > image->fileSize - offset) return false;
    if (offset + size <= image->headSize) {
        CopyMemory(out, image->head + offset, size);
        return true;
    }
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
    DWORD read = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !ReadFile(file, image.head, PagedImage::kHead, &read, nullptr))
        return false;
    image.headSize = read;
    image.fileSize = read;
    // A short read ended at the end of the file; a full one may not have.
    if (read == PagedImage::kHead) {
        LARGE_INTEGER fileSize;
        if (!GetFileSizeEx(file, &fileSize) || static_cast<uint64_t>(fileSize.QuadPart) < read) return false;
        image.fileSize = static_cast<uint64_t>(fileSize.QuadPart);
    }
    // The languages the system's resource loader would try for this user.
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
