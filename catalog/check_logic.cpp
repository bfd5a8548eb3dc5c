#include "catalog/check_logic.h"

#include "common/program_path_logic.h"
#include "common/texts.h"
#include "common/wide_text.h"

namespace {

// The checker's own texts: English, for the plug-in maker.
const wchar_t kEncodingPattern[] =
    L"Corvane.ini is %s with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every "
    L"code page; store it so (scripts/package.sh does)";
const wchar_t kNoCountText[] = L"no entries: [PlugInInfo] has no Count";
const wchar_t kBadCountPattern[] = L"no entries: Count is \"%s\"";
const wchar_t kNoIndexKeysPattern[] = L"no entries: Count is %ld but no PlugInN key names a section";
const wchar_t kTooManyPattern[] = L"Count %ld is more entries than the installer can hold: it says it is out of memory";
const wchar_t kTrailingPattern[] = L"Count is %ld but the last PlugInN key is PlugIn%ld: entries %ld to %ld show [未知]";
const wchar_t kTrailingOnePattern[] = L"Count is %ld but the last PlugInN key is PlugIn%ld: entry %ld shows [未知]";
const wchar_t kNoIndexKeyPattern[] = L"%s: PlugIn%ld is missing or empty: every value takes its default ([未知])";
const wchar_t kSectionCutPattern[] =
    L"%s: PlugIn%ld names a section of %ld%s characters; the installer reads the first %ld, which may name "
    L"another section";
const wchar_t kNoSectionPattern[] =
    L"%s: the section is missing or holds none of Name, SrcFile, SubDir1, SubDir2, Description: every value "
    L"takes its default ([未知])";
const wchar_t kValueCutPattern[] = L"%s: %s has %ld%s characters; the installer keeps %ld: \"%s\"";
const wchar_t kNoNamePattern[] = L"%s: no Name: the list shows [未知]";
const wchar_t kNoSrcFilePattern[] = L"%s: no SrcFile: the installer looks for a file named [未知]";
const wchar_t kEmptySrcFilePattern[] = L"%s: SrcFile is empty";
const wchar_t kLeavesFolderPattern[] = L"%s: SrcFile \"%s\" leaves the folder";
const wchar_t kMissingFilePattern[] = L"%s: SrcFile \"%s\" is missing beside the catalog";
const wchar_t kFolderNotFilePattern[] = L"%s: SrcFile \"%s\" is a folder, not a file";
const wchar_t kPathTooLongPattern[] = L"%s: SrcFile \"%s\" makes a path longer than the installer holds (259 characters)";
const wchar_t kSubFolderPattern[] =
    L"%s: SrcFile \"%s\" names a sub-folder: the installer copies it into a folder of that name, which must "
    L"already exist where it installs";
const wchar_t kNoVersionPattern[] = L"%s: \"%s\" has no version text: the installer shows [NO VERSION]";
const wchar_t kNoSubDirPattern[] = L"%s: neither SubDir1 nor SubDir2: no sub-folder is preselected";
const wchar_t kDuplicatePattern[] = L"%s: SrcFile \"%s\" is also entry %ld's: one installs over the other";

// Read with room to spare, to see what the installer's buffers cut.
constexpr size_t kRawSize = 4096;
// A fallback no catalog value can equal: it tells a missing key from an empty one.
const wchar_t kAbsent[] = L"\x01";

bool IsAbsent(const wchar_t* value) { return value[0] == 1 && !value[1]; }

void ReadRaw(const CatalogSource& source, const wchar_t* section, const wchar_t* key, wchar_t* out) {
    source.readString(source.context, section, key, kAbsent, out, kRawSize);
}

// A full raw buffer may hold a cut value too.
const wchar_t* OrMore(const wchar_t* raw) { return WideLength(raw) + 1 >= kRawSize ? L" or more" : L""; }

template <size_t N>
void Report(CheckReport& report, bool error, const wchar_t* pattern, const TextArg (&args)[N]) {
    ReportFinding(report, error, pattern, args, N);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsValidUtf8(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        size_t extra;
        unsigned long value;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, value = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, value = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, value = lead & 0x07;
        } else {
            return false;
        }
        if (extra >= size - i) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return false;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        const unsigned long least[] = {0, 0x80, 0x800, 0x10000};
        if (value < least[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

CatalogEncoding SniffCatalogEncoding(const unsigned char* bytes, size_t size) {
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return CatalogEncoding::Utf16LeBom;
    if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return CatalogEncoding::Utf16BeBom;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return CatalogEncoding::Utf8Bom;
    bool high = false;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == 0) return CatalogEncoding::Utf16NoBom;
        if (bytes[i] >= 0x80) high = true;
    }
    if (!high) return CatalogEncoding::Ascii;
    return IsValidUtf8(bytes, size) ? CatalogEncoding::Utf8 : CatalogEncoding::CodePage;
}

bool SameSrcFile(const wchar_t* a, const wchar_t* b) {
    auto fold = [](wchar_t c) -> wchar_t {
        if (c == L'/') return L'\\';
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    };
    for (;; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
        if (!*a) return true;
    }
}

bool ValueWasCut(const wchar_t* raw, const wchar_t* kept) { return WideLength(raw) > WideLength(kept); }

void ReportFinding(CheckReport& report, bool error, const wchar_t* pattern, const TextArg* args, size_t argCount) {
    wchar_t text[kFindingSize];
    FormatText(text, kFindingSize, pattern, args, argCount);
    ++(error ? report.errors : report.warnings);
    report.finding(report.context, error, text);
}

void CheckCatalogBytes(const unsigned char* bytes, size_t size, CheckReport& report) {
    const wchar_t* kind = nullptr;
    switch (SniffCatalogEncoding(bytes, size)) {
    case CatalogEncoding::Ascii:
    case CatalogEncoding::Utf16LeBom:
        return;
    case CatalogEncoding::Utf16BeBom: kind = L"UTF-16BE"; break;
    case CatalogEncoding::Utf8Bom: kind = L"UTF-8 with a byte-order mark"; break;
    case CatalogEncoding::Utf8: kind = L"UTF-8 without a byte-order mark"; break;
    case CatalogEncoding::Utf16NoBom: kind = L"UTF-16 without a byte-order mark"; break;
    case CatalogEncoding::CodePage: kind = L"code-page text (not UTF-8)"; break;
    }
    const TextArg args[] = {kind};
    Report(report, false, kEncodingPattern, args);
}

namespace {

struct EntryCheck {
    const CheckSource& source;
    CheckReport& report;
    const PlugInCatalog* catalog;
    long number;  // n of PlugInN
    wchar_t label[kSectionNameSize + 32];

    // A finding about this entry, with `value` for the pattern's second %s.
    void Note(bool error, const wchar_t* pattern, const wchar_t* value = nullptr) {
        const TextArg args[] = {label, value};
        Report(report, error, pattern, args);
    }

    // The earlier entry with the same SrcFile, or 0.
    long EarlierWithSameFile(const wchar_t* srcFile) const {
        for (long n = 1; n < number; ++n)
            if (SameSrcFile(catalog->Entries[n - 1].SrcFile, srcFile)) return n;
        return 0;
    }

    // True when the entry has no error.
    bool Run(wchar_t* raw) {
        const CatalogSource& reader = source.catalog;
        const PlugInEntry& entry = catalog->Entries[number - 1];
        wchar_t key[32];
        const TextArg keyArgs[] = {number};
        FormatText(key, 32, kIndexKeyPattern, keyArgs);
        const TextArg numberArgs[] = {number};
        FormatText(label, kSectionNameSize + 32, L"entry %ld", numberArgs);

        ReadRaw(reader, kIndexSection, key, raw);
        if (IsAbsent(raw) || !raw[0]) {
            const TextArg args[] = {label, number};
            Report(report, true, kNoIndexKeyPattern, args);
            return false;
        }
        wchar_t section[kSectionNameSize];
        reader.readString(reader.context, kIndexSection, key, L"", section, kSectionNameSize);
        const TextArg labelArgs[] = {number, section};
        FormatText(label, kSectionNameSize + 32, L"entry %ld [%s]", labelArgs);
        if (ValueWasCut(raw, section)) {
            const TextArg args[] = {label, number, static_cast<long>(WideLength(raw)), OrMore(raw),
                                    static_cast<long>(kSectionNameSize - 1)};
            Report(report, false, kSectionCutPattern, args);
        }

        struct Field {
            const wchar_t* key;
            const wchar_t* kept;
            size_t size;
        } const fields[] = {{kNameKey, entry.Name, 64},
                            {kSrcFileKey, entry.SrcFile, 64},
                            {kSubDir1Key, entry.SubDir1, 64},
                            {kSubDir2Key, entry.SubDir2, 64},
                            {kDescriptionKey, entry.Description, 256}};
        bool present[5];
        bool any = false;
        for (int i = 0; i < 5; ++i) {
            ReadRaw(reader, section, fields[i].key, raw);
            present[i] = !IsAbsent(raw);
            any = any || present[i];
            if (present[i] && ValueWasCut(raw, fields[i].kept)) {
                const TextArg args[] = {label, fields[i].key, static_cast<long>(WideLength(raw)), OrMore(raw),
                                        static_cast<long>(fields[i].size - 1), fields[i].kept};
                Report(report, false, kValueCutPattern, args);
            }
        }
        if (!any) {
            Note(true, kNoSectionPattern);
            return false;
        }
        if (!present[0]) Note(false, kNoNamePattern);
        bool fine = CheckSrcFile(present[1], entry);
        if (!entry.SubDir1[0] && !entry.SubDir2[0]) Note(false, kNoSubDirPattern);
        return fine;
    }

    bool CheckSrcFile(bool present, const PlugInEntry& entry) {
        const wchar_t* srcFile = entry.SrcFile;
        if (!present) {
            Note(true, kNoSrcFilePattern);
            return false;
        }
        if (!srcFile[0]) {
            Note(true, kEmptySrcFilePattern);
            return false;
        }
        if (!IsSafeRelativeFileName(srcFile)) {
            Note(true, kLeavesFolderPattern, srcFile);
            return false;
        }
        switch (source.folderItem(source.catalog.context, srcFile)) {
        case FolderItem::Missing: Note(true, kMissingFilePattern, srcFile); return false;
        case FolderItem::Folder: Note(true, kFolderNotFilePattern, srcFile); return false;
        case FolderItem::PathTooLong: Note(true, kPathTooLongPattern, srcFile); return false;
        case FolderItem::File: break;
        }
        for (const wchar_t* p = srcFile; *p; ++p)
            if (IsSeparator(*p)) {
                Note(false, kSubFolderPattern, srcFile);
                break;
            }
        if (!AsciiCaseCompare(entry.FileVersion, kNoVersionText)) Note(false, kNoVersionPattern, srcFile);
        return true;
    }
};

}  // namespace

void CheckPlugInCatalog(const CheckSource& source, CheckReport& report,
                        void (*files)(void* context, const wchar_t* srcFile)) {
    const CatalogSource& reader = source.catalog;
    wchar_t raw[kRawSize];
    PlugInCatalog* catalog = nullptr;
    const CatalogLoad load = ReadPlugInCatalog(reader, &catalog);
    const long count = reader.readCount(reader.context);
    if (load == CatalogLoad::Empty) {
        ReadRaw(reader, kIndexSection, kCountKey, raw);
        const TextArg args[] = {raw};
        Report(report, true, IsAbsent(raw) ? kNoCountText : kBadCountPattern, args);
        return;
    }
    if (load == CatalogLoad::OutOfMemory) {
        const TextArg args[] = {count};
        Report(report, true, kTooManyPattern, args);
        return;
    }
    report.entries = catalog->Count;

    // Entries after the last index key that names a section are Count's mistake.
    long last = 0;
    for (long n = catalog->Count; n >= 1 && !last; --n) {
        wchar_t key[32];
        const TextArg args[] = {n};
        FormatText(key, 32, kIndexKeyPattern, args);
        ReadRaw(reader, kIndexSection, key, raw);
        if (!IsAbsent(raw) && raw[0]) last = n;
    }
    if (!last) {
        const TextArg args[] = {static_cast<long>(catalog->Count)};
        Report(report, true, kNoIndexKeysPattern, args);
        return;
    }
    if (last < catalog->Count) {
        const TextArg args[] = {static_cast<long>(catalog->Count), last, last + 1, static_cast<long>(catalog->Count)};
        Report(report, false, last + 1 == catalog->Count ? kTrailingOnePattern : kTrailingPattern, args);
    }

    for (long n = 1; n <= last; ++n) {
        EntryCheck check{source, report, catalog, n, {}};
        bool fine = check.Run(raw);
        if (!fine) continue;
        const wchar_t* srcFile = catalog->Entries[n - 1].SrcFile;
        if (long earlier = check.EarlierWithSameFile(srcFile)) {
            const TextArg args[] = {check.label, srcFile, earlier};
            Report(report, false, kDuplicatePattern, args);
        } else if (files) {
            files(report.context, srcFile);
        }
    }
}

void FormatCheckSummary(const CheckReport& report, wchar_t* out, size_t size) {
    const TextArg args[] = {report.entries, report.entries == 1 ? L"entry" : L"entries",
                            report.errors,  report.errors == 1 ? L"error" : L"errors",
                            report.warnings, report.warnings == 1 ? L"warning" : L"warnings"};
    FormatText(out, size, L"%ld %s, %ld %s, %ld %s", args);
}
