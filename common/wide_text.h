// Bounded wide-text helpers for fixed-size buffers. Portable: no <windows.h>.
// Every function that writes keeps the output terminated and never writes past
// `size` characters; it returns false when the whole result did not fit.
#pragma once
#include <cstddef>

constexpr size_t kPathSize = 260;

size_t WideLength(const wchar_t* text);
bool WideCopy(wchar_t* out, size_t size, const wchar_t* text);
// Copies at most `count` characters of `text` (fewer at an earlier terminator).
bool WideCopyCount(wchar_t* out, size_t size, const wchar_t* text, size_t count);
// False, with nothing read past `size`, when `out` holds no terminator within it.
bool WideAppend(wchar_t* out, size_t size, const wchar_t* text);

// `text` as a box may show it: control characters (line breaks among them),
// the line and paragraph separators and the bidirectional embeddings,
// overrides and isolates (U+202A-U+202E, U+2066-U+2069) each replaced by
// U+FFFD, so that no value can add lines or turn the text around it.
bool CopyDisplayText(wchar_t* out, size_t size, const wchar_t* text);

// A-Z as a-z; every other character as it is.
inline wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Compares with ASCII letters folded only, like _wcsicmp in the "C" locale.
int AsciiCaseCompare(const wchar_t* a, const wchar_t* b);

// One argument of FormatText: a text for %s, or a number for %ld and %04x.
struct TextArg {
    TextArg(const wchar_t* text) : text(text), number(0) {}
    TextArg(long number) : text(nullptr), number(number) {}
    const wchar_t* text;
    long number;
};

// Fills `pattern`'s %s, %ld and %04x (lower-case hex, at least four digits)
// from `args` in order; %% is a percent sign. A missing argument, or one of the
// wrong kind, formats as nothing. The output is cut to fit `size`.
bool FormatText(wchar_t* out, size_t size, const wchar_t* pattern, const TextArg* args, size_t argCount);

template <size_t N>
bool FormatText(wchar_t* out, size_t size, const wchar_t* pattern, const TextArg (&args)[N]) {
    return FormatText(out, size, pattern, args, N);
}

// The shell's root forms: "\", "X:\", and "\\server" or "\\server\share" with
// no further backslash. A root keeps its trailing backslash.
bool IsPathRoot(const wchar_t* path);
// The length of a folder text without its trailing backslashes; a root keeps
// its own.
size_t FolderTextLength(const wchar_t* folder);
// Removes one trailing backslash unless the path is a root.
void RemoveTrailingBackslash(wchar_t* path);
// Adds a backslash to a non-empty path that lacks one; an empty path stays
// empty. False, and the path unchanged, when the backslash would not fit or
// the path holds no terminator within `size`.
bool EnsureTrailingBackslash(wchar_t* path, size_t size);
