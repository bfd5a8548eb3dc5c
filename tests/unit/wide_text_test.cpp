#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "common/program_path_logic.h"
#include "common/wide_text.h"

// Buffers are sized exactly, so AddressSanitizer catches any write past `size`.
TEST(WideText, CopyAndAppendStopAtTheBufferSize) {
    // start null: WideCopyCount (CopyDisplayText when `display`); otherwise WideAppend to start.
    struct Case { const char* name; const wchar_t *start, *text; size_t count, size; bool ok; const wchar_t* expect;
                  bool display = false; };
    const Case cases[] = {
        {"copy fits exactly", nullptr, L"abc", SIZE_MAX, 4, true, L"abc"},
        {"copy one over", nullptr, L"abcd", SIZE_MAX, 4, false, L"abc"},
        {"count over size", nullptr, L"abcdef", 3, 3, false, L"ab"},
        {"terminator before count", nullptr, L"ab", 5, 4, true, L"ab"},
        {"append fits exactly", L"ab", L"cd", 0, 5, true, L"abcd"},
        {"append one over", L"ab", L"cde", 0, 5, false, L"abcd"},
        {"append to a full buffer", L"abcd", L"e", 0, 4, false, L"abcd"},  // nothing read past it
        {"display: lines, overrides, isolates", nullptr, L"1\r\n\x202e" L"2\x2066\x85\x2028\x7f\x200f\u4e2d", 0, 12,
         true, L"1\xfffd\xfffd\xfffd" L"2\xfffd\xfffd\xfffd\xfffd\x200f\u4e2d", true},
        {"display cut", nullptr, L"ab\t", 0, 3, false, L"ab", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<wchar_t> out(c.size);
        if (c.start) std::wstring(c.start).copy(out.data(), c.size);
        EXPECT_EQ(c.start     ? WideAppend(out.data(), c.size, c.text)
                  : c.display ? CopyDisplayText(out.data(), c.size, c.text)
                              : WideCopyCount(out.data(), c.size, c.text, c.count),
                  c.ok);
        EXPECT_EQ(std::wstring(out.data(), std::find(out.begin(), out.end(), L'\0') - out.begin()), c.expect);
    }
}

TEST(WideText, AsciiCaseCompareFoldsAsciiLettersToLowerCaseOnly) {
    EXPECT_EQ(AsciiCaseCompare(L"Filters", L"fILTERS"), 0);
    EXPECT_LT(AsciiCaseCompare(L"ab", L"ABC"), 0);
    EXPECT_NE(AsciiCaseCompare(L"Ärger", L"ärger"), 0);
    EXPECT_LT(AsciiCaseCompare(L"[", L"A"), 0);  // '[' lies between 'Z' and 'a'
}

TEST(WideText, FormatTextFillsArgumentsInOrderAndCutsToFit) {
    struct Case { const char* name; const wchar_t* pattern; std::vector<TextArg> args; size_t size; bool ok;
                  std::wstring expect; };
    const Case cases[] = {
        {"negative decimal", L"PlugIn%ld", {-2147024891L}, 64, true, L"PlugIn-2147024891"},
        {"smallest long", L"%ld", {LONG_MIN}, 64, true, std::to_wstring(LONG_MIN)},
        {"hex padded, lower case", L"%04x%04x", {0x804L, 0x4B0L}, 64, true, L"080404b0"},
        {"hex of -1 as 32 bits", L"%04x", {-1L}, 64, true, L"ffffffff"},
        {"percent and unknown", L"100%% %d 5%", {}, 64, true, L"100% %d 5%"},
        {"wrong kind and missing", L"[%s][%ld][%s][%ld]", {L"a", L"b", 5L}, 64, true, L"[a][][][]"},
        {"fits exactly", L"%s", {L"abcdef"}, 7, true, L"abcdef"},
        {"number cut", L"n=%ld", {12345L}, 6, false, L"n=123"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<wchar_t> out(c.size);
        EXPECT_EQ(FormatText(out.data(), out.size(), c.pattern, c.args.data(), c.args.size()), c.ok);
        EXPECT_EQ(std::wstring(out.data()), c.expect);
    }
}

TEST(WideText, RootsKeepTheirTrailingBackslash) {
    struct Case { const wchar_t* path; bool root; const wchar_t* removed; };
    const Case cases[] = {
        {L"\\", true, L"\\"},      {L"\\\\server\\", true, L"\\\\server\\"},
        {L"C:\\", true, L"C:\\"},  {L"\\\\server\\share", true, L"\\\\server\\share"},
        {L"C:", false, L"C:"},     {L"\\\\server\\share\\", false, L"\\\\server\\share"},
        {L"", false, L""},         {L"C:\\PS\\\\", false, L"C:\\PS\\"},  // one backslash only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.path)));
        EXPECT_EQ(IsPathRoot(c.path), c.root);
        std::wstring path = c.path;
        RemoveTrailingBackslash(path.data());
        EXPECT_EQ(std::wstring(path.c_str()), c.removed);
    }
    wchar_t empty[1] = L"";
    EXPECT_TRUE(EnsureTrailingBackslash(empty, 1));  // an empty path stays empty
    wchar_t full[2] = {L'a', L'b'};
    EXPECT_FALSE(EnsureTrailingBackslash(full, 2));  // unterminated: nothing read past it
}

TEST(ProgramPath, FolderAndJoinedNameMustFit) {
    wchar_t dir[9];  // "C:\Tools" and its terminator
    ASSERT_TRUE(ProgramDirFromModuleName(L"C:\\Tools\\Setup.exe", dir, 9));
    EXPECT_EQ(std::wstring(dir), L"C:\\Tools");
    EXPECT_FALSE(ProgramDirFromModuleName(L"C:\\Tools\\Setup.exe", dir, 8));
    EXPECT_FALSE(ProgramDirFromModuleName(L"Setup.exe", dir, 9));
    std::vector<wchar_t> out(21);  // "C:\Tools\Corvane.ini" and its terminator
    ASSERT_TRUE(JoinProgramPath(L"C:\\Tools", L"Corvane.ini", out.data(), 21));
    EXPECT_EQ(std::wstring(out.data()), L"C:\\Tools\\Corvane.ini");
    EXPECT_FALSE(JoinProgramPath(L"C:\\Tools", L"Corvane.ini", out.data(), 20));
}

TEST(ProgramPath, FinalPathsInsideTheFolder) {
    struct Case { const wchar_t *folder, *file; bool inside; } const cases[] = {
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Setup\\a.8bf", true},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Setup\\x64\\a.8bf", true},
        {L"\\\\?\\C:\\", L"\\\\?\\C:\\a.8bf", true},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Setup", false},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Setup\\", false},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Setup2\\a.8bf", false},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\C:\\Windows\\a.8bf", false},
        {L"\\\\?\\C:\\Setup", L"\\\\?\\c:\\setup\\a.8bf", false},
        {L"", L"\\\\?\\C:\\a.8bf", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsInsideFolder(c.folder, c.file), c.inside) << c.file;
}

TEST(ProgramPath, CatalogFileNamesStayInsideTheProgramFolder) {
    struct Case { const wchar_t* name; bool safe; };
    const Case cases[] = {
        {L"Foo.8bf", true},           {L"x64\\Foo.8bf", true},       {L"x64/Foo.8bf", true},
        {L".\\Foo.8bf", true},        {L"a.b\\..c\\Foo..8bf", true}, {L"[未知]", true},
        {L"Foo.8bf.", true},          {L"Console.8bf", true},        {L"COM10", true},
        {L"", false},                 {L"..", false},                {L"..\\Foo.8bf", false},
        {L"../Foo.8bf", false},       {L"x64\\..\\..\\Foo.8bf", false}, {L"x64/../../Foo.8bf", false},
        {L"x64\\..", false},          {L"... \\Foo.8bf", false},     {L".. \\Foo.8bf", false},
        {L"x64\\ \\Foo.8bf", false},  {L"\\Foo.8bf", false},         {L"/Foo.8bf", false},
        {L"\\\\server\\s\\Foo.8bf", false}, {L"//server/s/Foo.8bf", false}, {L"\\\\?\\C:\\Foo.8bf", false},
        {L"C:\\Windows\\Foo.8bf", false}, {L"C:Foo.8bf", false},     {L"Foo.8bf:stream", false},
        {L"x64\\\\Foo.8bf", false},   {L"x64\\", false},             {L"Foo*.8bf", false},
        {L"Foo?.8bf", false},         {L"Foo\t.8bf", false},         {L"NUL", false},
        {L"nul.8bf", false},          {L"Com1", false},              {L"LPT\u00b9.8bf", false},
        {L"CONOUT$", false},          {L"aux .txt", false},          {L"con\\Foo.8bf", false},
        {L".", false},                {L".\\.", false},              {L"x64/.", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        EXPECT_EQ(IsSafeRelativeFileName(c.name), c.safe);
    }
}
