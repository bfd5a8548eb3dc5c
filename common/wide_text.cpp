#include "common/wide_text.h"

size_t WideLength(const wchar_t* text) {
    size_t length = 0;
    if (text)
        while (text[length]) ++length;
    return length;
}

// Like WideLength, but reads no further than `size` characters and gives
// `size` for a text that is not terminated within them.
static size_t LengthWithin(const wchar_t* text, size_t size) {
    size_t length = 0;
    while (length < size && text[length]) ++length;
    return length;
}

bool WideCopyCount(wchar_t* out, size_t size, const wchar_t* text, size_t count) {
    if (size == 0) return false;
    size_t i = 0;
    if (text)
        for (; i < count && text[i]; ++i) {
            if (i + 1 == size) {
                out[i] = 0;
                return false;
            }
            out[i] = text[i];
        }
    out[i] = 0;
    return true;
}

bool WideCopy(wchar_t* out, size_t size, const wchar_t* text) {
    return WideCopyCount(out, size, text, static_cast<size_t>(-1));
}

bool WideAppend(wchar_t* out, size_t size, const wchar_t* text) {
    size_t length = LengthWithin(out, size);
    if (length >= size) return false;
    return WideCopy(out + length, size - length, text);
}

bool CopyDisplayText(wchar_t* out, size_t size, const wchar_t* text) {
    const bool whole = WideCopy(out, size, text);
    for (wchar_t* c = out; size && *c; ++c)
        if (*c < 0x20 || (*c >= 0x7f && *c < 0xa0) || *c == 0x2028 || *c == 0x2029 || (*c >= 0x202a && *c <= 0x202e) ||
            (*c >= 0x2066 && *c <= 0x2069))
            *c = 0xfffd;
    return whole;
}

int AsciiCaseCompare(const wchar_t* a, const wchar_t* b) {
    for (;; ++a, ++b) {
        wchar_t x = FoldAscii(*a), y = FoldAscii(*b);
        if (x != y || !x) return x < y ? -1 : (x > y ? 1 : 0);
    }
}

// Writes `number` in `base` with at least `digits` digits into `out` (room for 24).
static void FormatNumber(wchar_t* out, long number, unsigned base, int digits) {
    wchar_t reversed[24];
    int count = 0;
    bool negative = base == 10 && number < 0;
    unsigned long value = base == 10 ? (negative ? 0ul - static_cast<unsigned long>(number)
                                                 : static_cast<unsigned long>(number))
                                     : static_cast<unsigned long>(number) & 0xffffffffu;
    do {
        reversed[count++] = L"0123456789abcdef"[value % base];
        value /= base;
    } while (value);
    while (count < digits) reversed[count++] = L'0';
    int n = 0;
    if (negative) out[n++] = L'-';
    while (count) out[n++] = reversed[--count];
    out[n] = 0;
}

bool FormatText(wchar_t* out, size_t size, const wchar_t* pattern, const TextArg* args, size_t argCount) {
    if (size == 0) return false;
    out[0] = 0;
    size_t used = 0;
    size_t next = 0;
    bool fits = true;
    auto put = [&](const wchar_t* text, size_t count) {
        for (size_t i = 0; i < count && text[i]; ++i) {
            if (used + 1 >= size) {
                fits = false;
                return;
            }
            out[used++] = text[i];
        }
    };
    for (const wchar_t* p = pattern; *p && fits; ++p) {
        if (*p != L'%') {
            put(p, 1);
            continue;
        }
        const TextArg* arg = next < argCount ? &args[next] : nullptr;
        wchar_t number[24];
        if (p[1] == L'%') {
            put(p, 1);
            p += 1;
        } else if (p[1] == L's') {
            if (arg && arg->text) put(arg->text, static_cast<size_t>(-1));
            ++next;
            p += 1;
        } else if (p[1] == L'l' && p[2] == L'd') {
            if (arg && !arg->text) {
                FormatNumber(number, arg->number, 10, 1);
                put(number, static_cast<size_t>(-1));
            }
            ++next;
            p += 2;
        } else if (p[1] == L'0' && p[2] == L'4' && p[3] == L'x') {
            if (arg && !arg->text) {
                FormatNumber(number, arg->number, 16, 4);
                put(number, static_cast<size_t>(-1));
            }
            ++next;
            p += 3;
        } else {
            put(p, 1);
        }
    }
    out[used] = 0;
    return fits;
}

// IsPathRoot for the first `length` characters of `path`.
static bool IsPathRootOfLength(const wchar_t* path, size_t length) {
    if (!length) return false;
    if (path[0] == L'\\') {
        if (length == 1) return true;
        if (path[1] != L'\\') return false;
        int separators = 0;
        for (size_t i = 2; i < length; ++i)
            if (path[i] == L'\\' && ++separators > 1) return false;
        return true;
    }
    return length == 3 && path[1] == L':' && path[2] == L'\\';
}

bool IsPathRoot(const wchar_t* path) { return path && IsPathRootOfLength(path, WideLength(path)); }

size_t FolderTextLength(const wchar_t* folder) {
    size_t length = WideLength(folder);
    while (length && folder[length - 1] == L'\\' && !IsPathRootOfLength(folder, length)) --length;
    return length;
}

void RemoveTrailingBackslash(wchar_t* path) {
    size_t length = WideLength(path);
    if (length && path[length - 1] == L'\\' && !IsPathRoot(path)) path[length - 1] = 0;
}

bool EnsureTrailingBackslash(wchar_t* path, size_t size) {
    size_t length = LengthWithin(path, size);
    if (length == 0 || path[length - 1] == L'\\') return length < size;
    if (length + 2 > size) return false;
    path[length] = L'\\';
    path[length + 1] = 0;
    return true;
}
