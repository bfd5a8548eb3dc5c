#include "check/check_logic.h"

#include <algorithm>
#include <cstddef>

#include "catalog/catalog_keys.h"
#include "common/program_path_logic.h"
#include "common/wide_text.h"

namespace {

// The checker's own texts: English, for the plug-in maker. The catalog's
// names, fallbacks and limits come from the catalog itself, as arguments.
const wchar_t kEncodingPattern[] =
    L"%s is %s with non-ASCII text: only UTF-16LE with a byte-order mark reads the same under every "
    L"code page; store it so (scripts/package.sh does)";
const wchar_t kNoCountPattern[] = L"no entries: [%s] has no %s";
const wchar_t kBadCountPattern[] = L"no entries: %s is \"%s\"";
const wchar_t kNoIndexKeysPattern[] = L"no entries: %s is %ld but no %s key names a section";
const wchar_t kTooManyPattern[] = L"%s %ld is more entries than the installer can hold: it says it is out of memory";
const wchar_t kTrailingPattern[] = L"%s is %ld but the last %s key is %s: entries %ld to %ld show %s";
const wchar_t kTrailingOnePattern[] = L"%s is %ld but the last %s key is %s: entry %ld shows %s";
const wchar_t kNoIndexKeyPattern[] = L"%s: %s is missing or empty: every value takes its default (%s)";
const wchar_t kSectionCutPattern[] =
    L"%s: %s names a section of %ld%s characters; the installer reads the first %ld, which may name "
    L"another section";
const wchar_t kNoSectionPattern[] =
    L"%s: the section is missing or holds none of %s: every value takes its default (%s)";
const wchar_t kValueCutPattern[] = L"%s: %s has %ld%s characters; the installer keeps %ld: \"%s\"";
const wchar_t kNoNamePattern[] = L"%s: no %s: the list shows %s";
const wchar_t kNoSrcFilePattern[] = L"%s: no %s: the installer looks for a file named %s";
const wchar_t kEmptySrcFilePattern[] = L"%s: %s is empty";
const wchar_t kLeavesFolderPattern[] = L"%s: %s \"%s\" leaves the folder";
const wchar_t kOutsidePattern[] =
    L"%s: %s \"%s\" leads outside the folder (a link): the installer refuses it with system error %ld";
const wchar_t kMissingFilePattern[] = L"%s: %s \"%s\" is missing beside the catalog";
const wchar_t kFolderNotFilePattern[] = L"%s: %s \"%s\" is a folder, or may not be read (system error %ld)";
const wchar_t kUnreadablePattern[] = L"%s: %s \"%s\" cannot be read: the installer stops with system error %ld";
const wchar_t kPathTooLongPattern[] = L"%s: %s \"%s\" makes a path longer than the installer holds (%ld characters)";
const wchar_t kSubFolderPattern[] =
    L"%s: %s \"%s\" names a sub-folder: the installer copies it into a folder of that name, which must "
    L"already exist where it installs";
const wchar_t kNoVersionPattern[] = L"%s: \"%s\" has no version text: the installer shows %s";
const wchar_t kNoSubDirPattern[] = L"%s: neither %s nor %s: no sub-folder is preselected";
const wchar_t kDuplicatePattern[] = L"%s: %s \"%s\" is also entry %ld's: one installs over the other";
const wchar_t kNotDllPattern[] = L"%s: %s \"%s\" is not a Windows DLL: no editor can load it";
const wchar_t kNoX64Text[] = L"no plug-in file is built for x64: a 64-bit editor on x64 Windows loads none of them";
const wchar_t kCountLimitPattern[] =
    L"%s %ld is more entries than a catalog may hold (%ld): only the entries up to the last %s key are "
    L"checked";
const wchar_t kUnknownKeyPattern[] = L"%s: the installer does not know the key \"%s\"; the nearest known key is %s";
const wchar_t kCommentPattern[] =
    L"%s: %s \"%s\" has \"%s\" after a space: the installer takes it as part of the value, not as a comment";

// The column of the catalog's table that fills `offset` of the entry.
const CatalogField& FieldAt(size_t offset) {
    for (const CatalogField& field : kCatalogFields)
        if (field.offset == offset) return field;
    return kCatalogFields[0];
}
#define FIELD(member) FieldAt(offsetof(PlugInEntry, member))

// Read with room to spare, to see what the installer's buffers cut.
constexpr size_t kRawSize = 4096;
// A fallback no catalog value can equal: it tells a missing key from an empty one.
const wchar_t kAbsent[] = L"\x01";

bool IsAbsent(const wchar_t* value) { return value[0] == 1 && !value[1]; }

void ReadRaw(const CatalogSource& source, const wchar_t* section, const wchar_t* key, wchar_t (&out)[kRawSize]) {
    source.readString(source.context, section, key, kAbsent, out, kRawSize);
}

// A full raw buffer may hold a cut value too.
const wchar_t* OrMore(const wchar_t* raw) { return WideLength(raw) + 1 >= kRawSize ? L" or more" : L""; }

template <size_t N>
void Report(CheckReport& report, bool error, long line, const wchar_t* pattern, const TextArg (&args)[N]) {
    ReportFinding(report, error, line, pattern, args, N);
}

constexpr unsigned long kInvalid = 0xFFFFFFFF;

// The UTF-8 character at `*i`, which moves past it; kInvalid, moved by one
// byte, for anything that is not well-formed.
unsigned long NextUtf8(const unsigned char* bytes, size_t size, size_t* i) {
    const unsigned char lead = bytes[(*i)++];
    size_t extra;
    unsigned long value;
    if (lead < 0x80) return lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, value = lead & 0x07;
    } else {
        return kInvalid;
    }
    if (extra > size - *i) return kInvalid;
    for (size_t k = 0; k < extra; ++k) {
        if ((bytes[*i + k] & 0xC0) != 0x80) return kInvalid;
        value = (value << 6) | (bytes[*i + k] & 0x3F);
    }
    const unsigned long least[] = {0, 0x80, 0x800, 0x10000};
    if (value < least[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kInvalid;
    *i += extra;
    return value;
}

bool IsValidUtf8(const unsigned char* bytes, size_t size) {
    for (size_t i = 0; i < size;)
        if (NextUtf8(bytes, size, &i) == kInvalid) return false;
    return true;
}

// Compares a counted name with a counted or terminated one, ASCII letters folded.
int CompareName(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    for (size_t i = 0;; ++i) {
        if (i == aLength || i == bLength) return (i == bLength) - (i == aLength);
        const wchar_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
}

bool SameName(const CatalogLine& line, const wchar_t* name) {
    return !CompareName(line.name, line.nameLength, name, WideLength(name));
}

// Orders SrcFile values as the file system matches them: ASCII letters
// folded, and either separator.
int CompareSrcFile(const wchar_t* a, const wchar_t* b) {
    auto fold = [](wchar_t c) { return IsPathSeparator(c) ? L'\\' : FoldAscii(c); };
    for (;; ++a, ++b) {
        const wchar_t x = fold(*a), y = fold(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
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

bool SameSrcFile(const wchar_t* a, const wchar_t* b) { return !CompareSrcFile(a, b); }

bool ValueWasCut(const wchar_t* raw, const wchar_t* kept) { return WideLength(raw) > WideLength(kept); }

void ReportFinding(CheckReport& report, bool error, long line, const wchar_t* pattern, const TextArg* args,
                   size_t argCount) {
    wchar_t text[kFindingSize];
    FormatText(text, kFindingSize, pattern, args, argCount);
    ++(error ? report.errors : report.warnings);
    report.finding(report.context, error, line, text);
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
    const TextArg args[] = {kCatalogFileName, kind};
    Report(report, false, 0, kEncodingPattern, args);
}


void MachineName(uint16_t machine, wchar_t* out, size_t size) {
    if (const MachineNames* names = FindMachineNames(machine)) {
        WideCopy(out, size, names->english);
        return;
    }
    const TextArg args[] = {static_cast<long>(machine)};
    FormatText(out, size, L"0x%04x", args);
}

bool ServesX64Editors(const PeImageInfo& info) {
    return PlugInFitsEditor(ImageMachine{info.machine, info.arm64x}, ImageMachine{kMachineX64, false});
}

size_t DecodeCatalogText(const unsigned char* bytes, size_t size, wchar_t* out, size_t outSize,
                         CodePageDecoder codePage, void* context) {
    size_t used = 0;
    auto put = [&](unsigned long c) {
        if (c >= 0x10000 && used + 1 < outSize) {
            out[used++] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            out[used++] = static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else if (c < 0x10000 && used < outSize) {
            out[used++] = static_cast<wchar_t>(c);
        }
    };
    const CatalogEncoding encoding = SniffCatalogEncoding(bytes, size);
    switch (encoding) {
    case CatalogEncoding::Utf16LeBom:
    case CatalogEncoding::Utf16BeBom:
    case CatalogEncoding::Utf16NoBom: {
        const bool big = encoding == CatalogEncoding::Utf16BeBom;
        for (size_t i = encoding == CatalogEncoding::Utf16NoBom ? 0 : 2; i + 1 < size; i += 2)
            put(big ? (bytes[i] << 8) | bytes[i + 1] : bytes[i] | (bytes[i + 1] << 8));
        return used;
    }
    case CatalogEncoding::Utf8Bom:
        for (size_t i = 3; i < size;) {
            const unsigned long c = NextUtf8(bytes, size, &i);
            put(c == kInvalid ? 0xFFFD : c);
        }
        return used;
    case CatalogEncoding::Ascii:
        break;
    case CatalogEncoding::Utf8:
    case CatalogEncoding::CodePage:
        if (codePage) return codePage(context, bytes, size, out, outSize);
        break;
    }
    for (size_t i = 0; i < size; ++i) put(bytes[i]);
    return used;
}

size_t ScanCatalogText(const wchar_t* text, size_t length, CatalogLine* lines, size_t capacity) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    // Trims [*a, *b) of blanks at both ends.
    auto trim = [&](size_t* a, size_t* b) {
        while (*a < *b && blank(text[*a])) ++*a;
        while (*b > *a && blank(text[*b - 1])) --*b;
    };
    size_t count = 0, owner = kNoOwner;
    long number = 0;
    for (size_t start = 0; start < length;) {
        size_t end = start;
        while (end < length && text[end] != L'\n' && text[end] != L'\r') ++end;
        size_t next = end + (end < length);
        if (end < length && text[end] == L'\r' && next < length && text[next] == L'\n') ++next;
        ++number;
        size_t a = start, b = end;
        start = next;
        trim(&a, &b);
        if (a == b || text[a] == L';' || text[a] == L'#') continue;
        CatalogLine item{};
        item.line = number;
        size_t nameEnd = b;
        item.owner = owner;
        if (text[a] == L'[') {
            item.section = true;
            item.owner = owner = count;
            ++a;
            // The name ends at the line's last ']'.
            for (size_t i = b; i > a; --i)
                if (text[i - 1] == L']') {
                    nameEnd = i - 1;
                    break;
                }
        } else {
            for (size_t i = a; i < b; ++i)
                if (text[i] == L'=') {
                    size_t v = i + 1, w = b;
                    trim(&v, &w);
                    item.value = text + v;
                    item.valueLength = w - v;
                    nameEnd = i;
                    break;
                }
        }
        trim(&a, &nameEnd);
        item.name = text + a;
        item.nameLength = nameEnd - a;
        if (count < capacity) lines[count] = item;
        ++count;
    }
    return count;
}

void IndexCatalogSections(CatalogText& text) {
    text.sectionCount = 0;
    for (size_t i = 0; i < text.count; ++i)
        if (text.lines[i].section) text.sections[text.sectionCount++] = i;
    size_t* keys = text.sections + text.sectionCount;
    text.keys = keys;
    text.keyCount = 0;
    for (size_t i = 0; i < text.count; ++i)
        if (!text.lines[i].section && text.lines[i].owner != kNoOwner) keys[text.keyCount++] = i;
    // By name, and a repeated name in the text's order: the reader takes the first.
    const CatalogLine* lines = text.lines;
    auto byName = [lines](size_t x, size_t y) {
        const int order = CompareName(lines[x].name, lines[x].nameLength, lines[y].name, lines[y].nameLength);
        return order ? order < 0 : x < y;
    };
    std::sort(text.sections, text.sections + text.sectionCount, byName);
    std::sort(keys, keys + text.keyCount, [&](size_t x, size_t y) {
        return lines[x].owner != lines[y].owner ? lines[x].owner < lines[y].owner : byName(x, y);
    });
}

CatalogLine* FindCatalogSection(const CatalogText& text, const wchar_t* name) {
    const size_t length = WideLength(name);
    const CatalogLine* lines = text.lines;
    const size_t* begin = text.sections;
    const size_t* end = begin + text.sectionCount;
    const size_t* found = std::lower_bound(begin, end, name, [lines, length](size_t x, const wchar_t* n) {
        return CompareName(lines[x].name, lines[x].nameLength, n, length) < 0;
    });
    return found != end && SameName(lines[*found], name) ? &text.lines[*found] : nullptr;
}

const CatalogLine* FindCatalogKey(const CatalogText& text, const CatalogLine* section, const wchar_t* key) {
    if (!section) return nullptr;
    const size_t owner = static_cast<size_t>(section - text.lines), length = WideLength(key);
    const CatalogLine* lines = text.lines;
    const size_t* end = text.keys + text.keyCount;
    const size_t* found = std::lower_bound(text.keys, end, key, [&](size_t x, const wchar_t* k) {
        if (lines[x].owner != owner) return lines[x].owner < owner;
        return CompareName(lines[x].name, lines[x].nameLength, k, length) < 0;
    });
    return found != end && lines[*found].owner == owner && SameName(lines[*found], key) ? &lines[*found] : nullptr;
}

namespace {

// Edit distance with adjacent letters swapped counting once, ASCII letters
// folded: SrcFlie is one from SrcFile.
size_t KeyDistance(const wchar_t* a, size_t aLength, const wchar_t* b) {
    constexpr size_t kLongest = 32;
    const size_t bLength = WideLength(b);
    if (aLength > 4 * kLongest || bLength >= kLongest) return aLength + bLength;
    size_t rows[3][kLongest + 1];  // two rows back, the last row, this row
    for (size_t j = 0; j <= bLength; ++j) rows[1][j] = j;
    for (size_t i = 1; i <= aLength; ++i) {
        size_t* row = rows[(i + 1) % 3];
        const size_t* last = rows[i % 3];
        const size_t* before = rows[(i + 2) % 3];
        row[0] = i;
        for (size_t j = 1; j <= bLength; ++j) {
            const wchar_t x = FoldAscii(a[i - 1]), y = FoldAscii(b[j - 1]);
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (x != y)});
            if (i > 1 && j > 1 && x == FoldAscii(b[j - 2]) && FoldAscii(a[i - 2]) == y)
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
    }
    return rows[(aLength + 1) % 3][bLength];
}

// The value's comment mark (';' or '#' after a space or tab), or 0.
wchar_t CommentMark(const wchar_t* value) {
    for (const wchar_t* p = value; *p; ++p)
        if ((*p == L' ' || *p == L'\t') && (p[1] == L';' || p[1] == L'#')) return p[1];
    return 0;
}

// "Name, SrcFile, ...": the keys of an entry's section.
void ListEntryKeys(wchar_t* out, size_t size) {
    out[0] = 0;
    for (const CatalogField& field : kCatalogFields)
        if (field.key) {
            if (out[0]) WideAppend(out, size, L", ");
            WideAppend(out, size, field.key);
        }
}

// "PlugInN": the index keys' pattern with N for the number.
void AnyIndexKey(wchar_t* out, size_t size) {
    size_t n = 0;
    for (const wchar_t* p = kIndexKeyPattern; *p && n + 1 < size; ++p) {
        if (*p != L'%') {
            out[n++] = *p;
            continue;
        }
        while (p[1] && *p != L'd') ++p;
        out[n++] = L'N';
    }
    out[n] = 0;
}

void FormatIndexKey(long number, wchar_t* out, size_t size) {
    const TextArg args[] = {number};
    FormatText(out, size, kIndexKeyPattern, args);
}

// What a check needs besides the entry: the text's lines, and the
// installer's reader with its index keys listed once.
struct Checker {
    const CheckSource& source;
    CheckReport& report;
    const CatalogSource& inner;
    CatalogSource reader;
    const wchar_t* keys;
    bool listed;
    CatalogLine* index;
    wchar_t anyKey[32];
    long images;     // plug-in files read as DLLs
    bool servesX64;  // one of them loads into an x64 editor
    // Per entry, a bit per column of the table whose key the installer's own
    // reads found written; null when not known.
    unsigned char* written;
    long writtenSize;
    long reading;  // the entry whose index key was read last

    Checker(const CheckSource& source, CheckReport& report)
        : source(source), report(report), inner(source.catalog), reader(source.catalog), keys(nullptr),
          listed(false), index(source.text ? FindCatalogSection(*source.text, kIndexSection) : nullptr), anyKey(),
          images(0), servesX64(false), written(nullptr), writtenSize(0), reading(0) {
        AnyIndexKey(anyKey, 32);
        reader.context = this;
        reader.readCount = [](void* c) { return Of(c).inner.readCount(Of(c).inner.context); };
        reader.readString = [](void* c, const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                               wchar_t* out, size_t size) { Of(c).ReadString(section, key, fallback, out, size); };
        reader.readVersion = [](void* c, const wchar_t* srcFile, wchar_t* out, size_t size) {
            return Of(c).inner.readVersion(Of(c).inner.context, srcFile, out, size);
        };
        reader.allocate = [](void* c, uint64_t bytes) { return Of(c).Allocate(bytes); };
        reader.listIndexKeys = [](void* c) { return Of(c).IndexKeys(); };
    }
    static Checker& Of(void* context) { return *static_cast<Checker*>(context); }

    void* Allocate(uint64_t bytes) const { return inner.allocate(inner.context, bytes); }

    // The installer's read, which also notes whether an entry's key is
    // written: a fallback no value equals tells, so that no key is read twice.
    void ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, wchar_t* out, size_t size) {
        if (section == kIndexSection) {
            reading = IndexKeyNumber(key, WideLength(key));
            inner.readString(inner.context, section, key, fallback, out, size);
            return;
        }
        inner.readString(inner.context, section, key, kAbsent, out, size);
        if (IsAbsent(out)) {
            WideCopy(out, size, fallback);
            return;
        }
        for (size_t i = 0; i < sizeof kCatalogFields / sizeof kCatalogFields[0]; ++i)
            if (written && reading > 0 && reading < writtenSize && kCatalogFields[i].key == key)
                written[reading] |= static_cast<unsigned char>(1u << i);
    }

    // Whether the key of `field` is written in entry `number`'s section; when
    // unknown, read again.
    bool Written(long number, const CatalogField& field, const wchar_t* section, wchar_t (&raw)[kRawSize]) {
        if (written) return written[number] & (1u << (&field - kCatalogFields));
        ReadRaw(reader, section, field.key, raw);
        return !IsAbsent(raw);
    }

    const wchar_t* IndexKeys() {
        if (!listed && inner.listIndexKeys) keys = inner.listIndexKeys(inner.context);
        listed = true;
        return keys;
    }

    // The line of `key` in `section`, else the section's, else `otherwise`.
    long LineOf(const CatalogLine* section, const wchar_t* key, long otherwise = 0) const {
        const CatalogLine* line = source.text ? FindCatalogKey(*source.text, section, key) : nullptr;
        return line ? line->line : section ? section->line : otherwise;
    }

    // The last index key up to `limit` (a catalog's Count) that names a
    // section, or 0. Listed, only the listed keys are read, each once.
    long LastIndexKey(long limit, wchar_t (&raw)[kRawSize]) {
        const wchar_t* listing = IndexKeys();
        auto* marked = listing ? static_cast<unsigned char*>(Allocate(static_cast<uint64_t>(limit) + 1)) : nullptr;
        if (marked)
            for (const wchar_t* name = listing; *name; name += WideLength(name) + 1) {
                const long n = IndexKeyNumber(name, WideLength(name));
                if (n <= limit) marked[n] = 1;
            }
        for (long n = limit; n >= 1; --n) {
            if (marked && !marked[n]) continue;
            wchar_t key[32];
            FormatIndexKey(n, key, 32);
            ReadRaw(reader, kIndexSection, key, raw);
            if (!IsAbsent(raw) && raw[0]) return n;
        }
        return 0;
    }

    // For each entry, the first entry with the same SrcFile (itself when none
    // is earlier), by sorting once; null when memory runs short.
    const int32_t* FirstWithSameFile(const PlugInCatalog& catalog) const {
        const size_t count = static_cast<size_t>(catalog.Count);
        auto* order = static_cast<int32_t*>(Allocate(uint64_t{2} * count * sizeof(int32_t)));
        if (!order) return nullptr;
        int32_t* first = order + count;
        for (size_t i = 0; i < count; ++i) order[i] = static_cast<int32_t>(i);
        const PlugInEntry* entries = catalog.Entries;
        std::sort(order, order + count, [entries](int32_t x, int32_t y) {
            const int c = CompareSrcFile(entries[x].SrcFile, entries[y].SrcFile);
            return c ? c < 0 : x < y;
        });
        for (size_t i = 0; i < count; ++i)
            first[order[i]] = i && !CompareSrcFile(entries[order[i - 1]].SrcFile, entries[order[i]].SrcFile)
                                  ? first[order[i - 1]]
                                  : order[i];
        return first;
    }

    // Warns of each key of `section` that the installer does not read.
    void CheckKeys(CatalogLine* section, const wchar_t* label, bool indexSection) {
        if (!section || section->checked) return;
        section->checked = true;
        const CatalogText& text = *source.text;
        for (const CatalogLine* line = section + 1; line < text.lines + text.count && !line->section; ++line) {
            wchar_t nearest[32] = L"";
            size_t distance = static_cast<size_t>(-1);
            auto consider = [&](const wchar_t* known) {
                const size_t d = KeyDistance(line->name, line->nameLength, known);
                if (d < distance) distance = d, WideCopy(nearest, 32, known);
            };
            if (indexSection) {
                if (SameName(*line, kCountKey) || IndexKeyNumber(line->name, line->nameLength)) continue;
                consider(kCountKey);
                // The index key with the key's own closing digits, less leading zeros.
                size_t digits = line->nameLength;
                while (digits > 0 && line->name[digits - 1] >= L'0' && line->name[digits - 1] <= L'9') --digits;
                while (digits < line->nameLength && line->name[digits] == L'0') ++digits;
                long number = 1;
                if (digits < line->nameLength && line->nameLength - digits < 10) {
                    number = 0;
                    for (size_t i = digits; i < line->nameLength; ++i) number = number * 10 + (line->name[i] - L'0');
                }
                wchar_t indexKey[32];
                FormatIndexKey(number, indexKey, 32);
                consider(indexKey);
            } else {
                bool known = false;
                for (const CatalogField& field : kCatalogFields) known = known || (field.key && SameName(*line, field.key));
                if (known) continue;
                for (const CatalogField& field : kCatalogFields)
                    if (field.key) consider(field.key);
            }
            wchar_t name[kSectionNameSize];
            WideCopyCount(name, kSectionNameSize, line->name, line->nameLength);
            const TextArg args[] = {label, name, nearest};
            Report(report, false, line->line, kUnknownKeyPattern, args);
        }
    }

    // Warns of a comment mark inside a value read from `key`.
    void CheckComment(long line, const wchar_t* label, const wchar_t* key, const wchar_t* raw) {
        const wchar_t mark[] = {CommentMark(raw), 0};
        if (!mark[0]) return;
        const TextArg args[] = {label, key, raw, mark};
        Report(report, false, line, kCommentPattern, args);
    }
};

struct EntryCheck {
    Checker& checker;
    CheckReport& report;
    const PlugInCatalog* catalog;
    long number;  // n of PlugInN
    wchar_t label[kSectionNameSize + 32];
    long srcFileLine;
    wchar_t machine[16];

    // A finding about this entry, with `a`, `b` and `n` for the pattern's later arguments.
    void Note(bool error, long line, const wchar_t* pattern, const wchar_t* a = nullptr, const wchar_t* b = nullptr,
              long n = 0) {
        const TextArg args[] = {label, a, b, n};
        Report(report, error, line, pattern, args);
    }

    // The earlier entry with the same SrcFile, or 0: for when sorting found no memory.
    long EarlierWithSameFile(const wchar_t* srcFile) const {
        for (long n = 1; n < number; ++n)
            if (SameSrcFile(catalog->Entries[n - 1].SrcFile, srcFile)) return n;
        return 0;
    }

    // True when the entry has no error.
    bool Run(wchar_t (&raw)[kRawSize]) {
        const CatalogSource& reader = checker.reader;
        const PlugInEntry& entry = catalog->Entries[number - 1];
        const CatalogField &name = FIELD(Name), &subDir1 = FIELD(SubDir1), &subDir2 = FIELD(SubDir2);
        wchar_t key[32];
        FormatIndexKey(number, key, 32);
        const TextArg numberArgs[] = {number};
        FormatText(label, kSectionNameSize + 32, L"entry %ld", numberArgs);
        const long keyLine = checker.LineOf(checker.index, key);

        ReadRaw(reader, kIndexSection, key, raw);
        if (IsAbsent(raw) || !raw[0]) {
            Note(true, keyLine, kNoIndexKeyPattern, key, name.fallback);
            return false;
        }
        checker.CheckComment(keyLine, label, key, raw);
        // What fits is what the installer read; only a longer name is read again, to be cut as it cuts.
        wchar_t section[kSectionNameSize];
        if (!WideCopy(section, kSectionNameSize, raw) || WideLength(section) + 1 == kSectionNameSize)
            reader.readString(reader.context, kIndexSection, key, L"", section, kSectionNameSize);
        const TextArg labelArgs[] = {number, section};
        FormatText(label, kSectionNameSize + 32, L"entry %ld [%s]", labelArgs);
        if (ValueWasCut(raw, section)) {
            const TextArg args[] = {label, key, static_cast<long>(WideLength(raw)), OrMore(raw),
                                    static_cast<long>(kSectionNameSize - 1)};
            Report(report, false, keyLine, kSectionCutPattern, args);
        }
        CatalogLine* found = checker.source.text ? FindCatalogSection(*checker.source.text, section) : nullptr;
        const long sectionLine = found ? found->line : keyLine;
        srcFileLine = checker.LineOf(found, FIELD(SrcFile).key, keyLine);

        bool any = false, hasName = false, hasSrcFile = false;
        for (const CatalogField& field : kCatalogFields) {
            if (!field.key) continue;
            // A value with room to spare is the file's whole value: only one
            // that may be cut is read again.
            const wchar_t* kept = FieldText(entry, field);
            const wchar_t* value = kept;
            if (!checker.Written(number, field, section, raw)) continue;
            if (WideLength(kept) + 1 >= field.size) {
                ReadRaw(reader, section, field.key, raw);
                value = raw;
            }
            any = true;
            hasName = hasName || &field == &name;
            hasSrcFile = hasSrcFile || &field == &FIELD(SrcFile);
            const long line = checker.LineOf(found, field.key, keyLine);
            if (ValueWasCut(value, kept)) {
                const TextArg args[] = {label, field.key, static_cast<long>(WideLength(value)), OrMore(value),
                                        static_cast<long>(field.size - 1), kept};
                Report(report, false, line, kValueCutPattern, args);
            }
            checker.CheckComment(line, label, field.key, value);
        }
        bool fine = false;
        if (!any) {
            wchar_t keys[128];
            ListEntryKeys(keys, 128);
            Note(true, sectionLine, kNoSectionPattern, keys, name.fallback);
        } else {
            if (!hasName) Note(false, sectionLine, kNoNamePattern, name.key, name.fallback);
            fine = CheckSrcFile(hasSrcFile, entry, sectionLine);
            if (!FieldText(entry, subDir1)[0] && !FieldText(entry, subDir2)[0])
                Note(false, sectionLine, kNoSubDirPattern, subDir1.key, subDir2.key);
        }
        checker.CheckKeys(found, label, false);
        return fine;
    }

    bool CheckSrcFile(bool present, const PlugInEntry& entry, long sectionLine) {
        const CatalogField& field = FIELD(SrcFile);
        const wchar_t* key = field.key;
        const wchar_t* srcFile = FieldText(entry, field);
        if (!present) {
            Note(true, sectionLine, kNoSrcFilePattern, key, field.fallback);
            return false;
        }
        const long line = srcFileLine;
        if (!srcFile[0]) {
            Note(true, line, kEmptySrcFilePattern, key);
            return false;
        }
        if (!IsSafeRelativeFileName(srcFile)) {
            Note(true, line, kLeavesFolderPattern, key, srcFile);
            return false;
        }
        PlugInFile file{};
        checker.source.openPlugIn(checker.inner.context, srcFile, &file);
        const long code = static_cast<long>(file.code);
        switch (file.state) {
        case PlugInFileState::Missing: Note(true, line, kMissingFilePattern, key, srcFile); return false;
        case PlugInFileState::Outside: Note(true, line, kOutsidePattern, key, srcFile, code); return false;
        case PlugInFileState::FolderOrDenied: Note(true, line, kFolderNotFilePattern, key, srcFile, code); return false;
        case PlugInFileState::Unreadable: Note(true, line, kUnreadablePattern, key, srcFile, code); return false;
        case PlugInFileState::PathTooLong:
            Note(true, line, kPathTooLongPattern, key, srcFile, static_cast<long>(kPathSize - 1));
            return false;
        case PlugInFileState::Found: break;
        }
        if (file.image != PlugInImage::NotChecked) {
            if (file.image == PlugInImage::NotImage || !file.info.isDll) {
                Note(true, line, kNotDllPattern, key, srcFile);
                return false;
            }
            MachineName(file.info.machine, machine, 16);
            ++checker.images;
            checker.servesX64 = checker.servesX64 || ServesX64Editors(file.info);
        }
        for (const wchar_t* p = srcFile; *p; ++p)
            if (IsPathSeparator(*p)) {
                Note(false, line, kSubFolderPattern, key, srcFile);
                break;
            }
        const CatalogField& version = FIELD(FileVersion);
        if (!AsciiCaseCompare(FieldText(entry, version), version.fallback))
            Note(false, line, kNoVersionPattern, srcFile, version.fallback);
        return true;
    }
};

}  // namespace

void CheckPlugInCatalog(const CheckSource& source, CheckReport& report,
                        void (*files)(void* context, const wchar_t* srcFile, const wchar_t* machine)) {
    Checker checker(source, report);
    wchar_t raw[kRawSize];
    const long count = checker.reader.readCount(checker.reader.context);
    const long countLine = checker.LineOf(checker.index, kCountKey);
    if (count > kMaxDefaultedCount) {
        const TextArg args[] = {kCountKey, count, kMaxDefaultedCount, checker.anyKey};
        Report(report, true, countLine, kCountLimitPattern, args);
    }

    // Read by the installer's own reader, which cuts a large Count as it does.
    PlugInCatalog* catalog = nullptr;
    long last = 0;
    if (count > 0) {
        checker.writtenSize = std::min(count, kMaxDefaultedCount) + 1;
        checker.written = static_cast<unsigned char*>(checker.Allocate(static_cast<uint64_t>(checker.writtenSize)));
    }
    const CatalogLoad load = ReadPlugInCatalog(checker.reader, &catalog);
    if (load == CatalogLoad::Empty && count > kMaxDefaultedCount) {
        const TextArg args[] = {kCountKey, count, checker.anyKey};
        Report(report, true, countLine, kNoIndexKeysPattern, args);
    } else if (load == CatalogLoad::Empty) {
        ReadRaw(checker.reader, kIndexSection, kCountKey, raw);
        if (IsAbsent(raw)) {
            const TextArg args[] = {kIndexSection, kCountKey};
            Report(report, true, checker.index ? checker.index->line : 0, kNoCountPattern, args);
        } else {
            const TextArg args[] = {kCountKey, raw};
            Report(report, true, countLine, kBadCountPattern, args);
        }
    } else if (load == CatalogLoad::OutOfMemory) {
        const TextArg args[] = {kCountKey, count};
        Report(report, true, countLine, kTooManyPattern, args);
    } else if (count > kMaxDefaultedCount) {
        // The installer's list ends at the last index key written, named or not.
        report.entries = last = catalog->Count;
    } else {
        report.entries = catalog->Count;
        // Entries after the last index key that names a section are Count's mistake.
        last = checker.LastIndexKey(catalog->Count, raw);
        wchar_t lastKey[32];
        FormatIndexKey(last, lastKey, 32);
        const wchar_t* unknown = FIELD(Name).fallback;
        if (!last) {
            const TextArg args[] = {kCountKey, static_cast<long>(catalog->Count), checker.anyKey};
            Report(report, true, countLine, kNoIndexKeysPattern, args);
        } else if (last + 1 == catalog->Count) {
            const TextArg args[] = {kCountKey, static_cast<long>(catalog->Count), checker.anyKey, lastKey, last + 1,
                                    unknown};
            Report(report, false, countLine, kTrailingOnePattern, args);
        } else if (last < catalog->Count) {
            const TextArg args[] = {kCountKey, static_cast<long>(catalog->Count), checker.anyKey, lastKey, last + 1,
                                    static_cast<long>(catalog->Count), unknown};
            Report(report, false, countLine, kTrailingPattern, args);
        }
    }
    if (source.text) {
        wchar_t label[kSectionNameSize + 2];
        const TextArg args[] = {kIndexSection};
        FormatText(label, kSectionNameSize + 2, L"[%s]", args);
        checker.CheckKeys(checker.index, label, true);
    }

    const int32_t* first = last ? checker.FirstWithSameFile(*catalog) : nullptr;
    for (long n = 1; n <= last; ++n) {
        EntryCheck check{checker, report, catalog, n, {}, 0, {}};
        bool fine = check.Run(raw);
        if (!fine) continue;
        const wchar_t* srcFile = catalog->Entries[n - 1].SrcFile;
        const long earlier = first ? (first[n - 1] + 1 < n ? first[n - 1] + 1 : 0) : check.EarlierWithSameFile(srcFile);
        if (earlier) {
            const TextArg args[] = {check.label, FIELD(SrcFile).key, srcFile, earlier};
            Report(report, false, check.srcFileLine, kDuplicatePattern, args);
        } else if (files) {
            files(report.context, srcFile, check.machine);
        }
    }
    if (checker.images && !checker.servesX64) ReportFinding(report, false, 0, kNoX64Text, nullptr, 0);
}

void FormatCheckSummary(const CheckReport& report, wchar_t* out, size_t size) {
    const TextArg args[] = {report.entries, report.entries == 1 ? L"entry" : L"entries",
                            report.errors,  report.errors == 1 ? L"error" : L"errors",
                            report.warnings, report.warnings == 1 ? L"warning" : L"warnings"};
    FormatText(out, size, L"%ld %s, %ld %s, %ld %s", args);
}
