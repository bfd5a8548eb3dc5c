// The catalog: warnings for an unusable one, defaults, cut names and the
// version texts read from the plug-in files.
#include "tests/e2e/harness.h"

#include <psapi.h>

#include <cstdio>
#include <random>

#include "catalog/catalog_file.h"
#include "common/credit.h"
#include "version.h"

namespace {

// Starts the program on `catalog` and checks the warning it must give, the
// disabled list and Install, and the placeholder captions.
void ExpectCatalogWarning(const std::wstring& catalog, const std::wstring& text) {
    Fixture dir(catalog);
    dir.Editor();
    SetupRun run(dir.exe, false);
    // The warning comes before the dialog shows.
    CHECK(run.BoxWithin(10000));
    CHECK(!IsWindowVisible(run.DialogWindow()));
    EXPECT_BOX(run, (Box{L"Corvane", text, L"warning", {IDOK}}), IDOK);
    CHECK(!run.Enabled(IDC_PLUGIN_LIST));
    CHECK(!run.Enabled(IDC_INSTALL));
    CHECK(run.Enabled(IDC_LAUNCH) && run.Enabled(IDC_PLUGIN_DIR) && run.Enabled(IDC_SUB_DIR));
    CHECK_TEXT(run.Text(IDC_SRC_FILE), L"SrcFile");
    CHECK_TEXT(run.Text(IDC_FILE_VERSION), L"File Version");
    CHECK_TEXT(run.Text(IDC_DESCRIPTION), L"description");
    CHECK_INT(run.Items(IDC_PLUGIN_LIST).size(), 0);
    // Initialisation stopped: no folder discovery, no later warnings.
    CHECK_INT(run.Items(IDC_PLUGIN_DIR).size(), 0);
    CHECK(!run.BoxWithin(200));
    run.Exit();
}

const wchar_t kEmpty[] = L"没有找到需要安装的插件。";

void EmptyCatalogs() {
    ExpectCatalogWarning(L"", kEmpty);  // no catalog file at all
    ExpectCatalogWarning(CatalogOf({{L"x"}}, 0), kEmpty);
    ExpectCatalogWarning(L"[PlugInInfo]\r\nCount=-3\r\nPlugIn1=A\r\n", kEmpty);
    ExpectCatalogWarning(L"[PlugInInfo]\r\nCount=three\r\nPlugIn1=A\r\n", kEmpty);
    ExpectCatalogWarning(L"[Other]\r\nCount=2\r\n", kEmpty);
}

// A few bytes cannot ask for gigabytes: with Count=3000000 the three entries
// written are listed, ready within 3 s and in under 256 MB; index keys written
// beyond 100,000 are too many.
void CountTooLarge() {
    ExpectCatalogWarning(L"[PlugInInfo]\r\nCount=2000000000\r\nPlugIn1=A\r\nPlugIn100001=A\r\n",
                         L"内存不足，请先关闭一些程序后，再重新启动安装程序。");
    Fixture dir(CatalogOf({{L"a"}, {L"b"}, {L"c"}}, 3000000));
    const DWORD start = GetTickCount();
    SetupRun run(dir.exe);
    run.Dialog();
    const DWORD elapsed = GetTickCount() - start;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.ProcessId());
    CHECK(process && K32GetProcessMemoryInfo(process, &memory, sizeof(memory)));
    if (process) CloseHandle(process);
    // The target is 3 s (the benchmark's figure); a loaded machine may take
    // longer, and a reader that walks Count takes far longer still.
    CHECK(elapsed < 8000);
    CHECK(memory.PeakWorkingSetSize < (256u << 20) && memory.PeakPagefileUsage < (256u << 20));
    CHECK((run.Items(IDC_PLUGIN_LIST) == std::vector<std::wstring>{L"a", L"b", L"c"}));
    run.Exit();
}

struct Expected {
    const wchar_t* name;
    const wchar_t* srcFile;
    const wchar_t* version;
    const wchar_t* description;
};

void ExpectEntries(SetupRun& run, const std::vector<Expected>& entries) {
    std::vector<std::wstring> items = run.Items(IDC_PLUGIN_LIST);
    CHECK_INT(items.size(), entries.size());
    for (size_t i = 0; i < entries.size() && i < items.size(); ++i) {
        run.Select(IDC_PLUGIN_LIST, static_cast<int>(i));
        std::string at = "entry " + std::to_string(i);
        CheckText(__FILE__, __LINE__, (at + " name").c_str(), items[i], entries[i].name);
        CheckText(__FILE__, __LINE__, (at + " file").c_str(), run.Text(IDC_SRC_FILE), entries[i].srcFile);
        CheckText(__FILE__, __LINE__, (at + " version").c_str(), run.Text(IDC_FILE_VERSION), entries[i].version);
        CheckText(__FILE__, __LINE__, (at + " description").c_str(), run.Text(IDC_DESCRIPTION), entries[i].description);
    }
}

// Missing sections and keys give the defaults; names match without regard
// to case; a long name is cut to 63 characters; two keys naming one section
// give two equal entries.
void DefaultsAndLimits() {
    const std::wstring longName(70, L'名');
    Fixture dir(L"[pluginINFO]\r\ncount=6\r\nplugin1=Partial\r\nPlugIn2=Missing\r\nPlugIn4=Long\r\n"
                L"PlugIn5=\r\nPlugIn6=partial\r\n"
                L"[PARTIAL]\r\nNAME=只有名字\r\n"
                L"[Long]\r\nName=" + longName + L"\r\nSrcFile=CorvaneFrame.8bf\r\nDescription=长名字\r\n",
                {L"CorvaneFrame.8bf"});
    SetupRun run(dir.exe);
    const Expected unknown = {L"[未知]", L"[未知]", L"[NO VERSION]", L"[无]"};
    const Expected partial = {L"只有名字", L"[未知]", L"[NO VERSION]", L"[无]"};
    const std::wstring cut = longName.substr(0, 63);
    ExpectEntries(run, {partial, unknown, unknown, {cut.c_str(), L"CorvaneFrame.8bf", L"1.4.2.0", L"长名字"}, unknown, partial});
    run.Exit();
}

// Each sample's version is read through its first translation; files that
// are missing or carry no usable version data show "[NO VERSION]".
void VersionTexts() {
    const std::wstring longVersion =
        std::wstring(L"1.0.0.0-") +
        L"0123456789abcdefghij0123456789abcdefghij0123456789abcdefghij0123456789abcdefghij0123456789abcdefghij"
        L"0123456789abcdefghij-END";
    const std::wstring cutVersion = longVersion.substr(0, 127);
    const std::vector<Expected> rows = {{L"zh", L"CorvaneSharpen.8bf", L"2.1.0.7", L"[无]"},
                                        {L"en", L"CorvaneFrame.8bf", L"1.4.2.0", L"[无]"},
                                        {L"two", L"CorvaneGlow.8bf", L"3.0 (中文)", L"[无]"},
                                        {L"none", L"CorvaneNoise.8bf", L"[NO VERSION]", L"[无]"},
                                        {L"missing", L"NotThere.8bf", L"[NO VERSION]", L"[无]"},
                                        {L"long", L"sample_long.8bf", cutVersion.c_str(), L"[无]"},
                                        {L"notable", L"sample_notrans.8bf", L"[NO VERSION]", L"[无]"},
                                        {L"nested", L"plugins\\CorvaneFrame.8bf", L"1.4.2.0", L"[无]"},
                                        {L"self", L"CorvaneSetup.exe", WIDE(CORVANE_VERSION_TEXT), L"[无]"}};
    std::vector<Entry> entries;
    for (const Expected& row : rows) entries.push_back({row.name, row.srcFile});
    Fixture dir(CatalogOf(entries), {L"CorvaneSharpen.8bf", L"CorvaneFrame.8bf", L"CorvaneGlow.8bf", L"CorvaneNoise.8bf",
                                     L"sample_long.8bf", L"sample_notrans.8bf"});
    MakeDirs(dir / L"plugins");
    CopyInput(L"CorvaneFrame.8bf", dir / L"plugins\\CorvaneFrame.8bf");
    SetupRun run(dir.exe);
    ExpectEntries(run, rows);
    run.Exit();
}

// A plug-in path that would not fit 260 characters is treated as missing,
// never cut: cut at 259 it would name CorvaneSharpen.8bf, which is there.
void PathTooLong() {
    TempDir dir;
    const std::wstring folder = dir.path + L"\\" + std::wstring(240 - dir.path.size() - 1, L'd');
    MakeDirs(folder);
    CopyInput(L"CorvaneSetup.exe", folder + L"\\CorvaneSetup.exe");
    CopyInput(L"CorvaneSharpen.8bf", folder + L"\\CorvaneSharpen.8bf");
    WriteUtf16File(folder + L"\\Corvane.ini",
                   CatalogOf({{L"cut", L"CorvaneSharpen.8bfXYZ"}, {L"fits", L"CorvaneSharpen.8bf"}}));
    SetupRun run(folder + L"\\CorvaneSetup.exe");
    ExpectEntries(run, {{L"cut", L"CorvaneSharpen.8bfXYZ", L"[NO VERSION]", L"[无]"},
                        {L"fits", L"CorvaneSharpen.8bf", L"2.1.0.7", L"[无]"}});
    run.Exit();
}

// The programs' own version resources: every field in both languages, and
// the numeric version, as the build set them.
void OwnVersionResources() {
    struct Program { const wchar_t *file, *zh, *en; } const programs[] = {
        {L"CorvaneSetup.exe", L"Photoshop 插件安装程序", L"Photoshop plug-in installer"},
        {L"CorvaneCheck.exe", L"Corvane 插件目录检查工具", L"Corvane plug-in folder checker"}};
    for (const Program& program : programs) {
        const std::wstring exe = Input(program.file);
        DWORD handle = 0, size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
        std::vector<char> block(size);
        if (!size || !GetFileVersionInfoW(exe.c_str(), handle, size, block.data())) {
            Fail(__FILE__, __LINE__, "no version resource in " + Utf8(program.file));
            continue;
        }
        auto field = [&](const wchar_t* language, const wchar_t* name) {
            void* value = nullptr;
            UINT length = 0;
            std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
            if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || !value) return std::wstring(L"(none)");
            return std::wstring(static_cast<const wchar_t*>(value));
        };
        const std::wstring version = WIDE(CORVANE_VERSION_TEXT);
        struct Language { const wchar_t *id, *product, *description; } const languages[] = {
            {L"080404b0", L"Corvane Photoshop 插件安装工具", program.zh},
            {L"040904b0", L"Corvane Setup", program.en}};
        for (const Language& l : languages) {
            CHECK_TEXT(field(l.id, L"ProductName"), l.product);
            CHECK_TEXT(field(l.id, L"FileDescription"), l.description);
            CHECK_TEXT(field(l.id, L"CompanyName"), WIDE(CREDIT_AUTHOR));
            CHECK_TEXT(field(l.id, L"FileVersion"), version);
            CHECK_TEXT(field(l.id, L"ProductVersion"), version);
            CHECK_TEXT(field(l.id, L"OriginalFilename"), program.file);
            CHECK_TEXT(field(l.id, L"LegalCopyright"), L"© 2026 " WIDE(CREDIT_AUTHOR));
        }
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
            Fail(__FILE__, __LINE__, "no fixed version in " + Utf8(program.file));
            continue;
        }
        wchar_t numeric[64];
        swprintf(numeric, 64, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                 HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        CHECK_TEXT(numeric, version);
    }
}

// The catalog read once through one handle answers every key read as
// GetPrivateProfileStringW does, over generated catalogs of plain lines and
// of the profile reader's corner cases (blanks, quotes, comments, case beyond
// ASCII, repeats, odd line ends); enough of them must be claimed.
void ImageAnswersAsProfile() {
    const std::wstring names[] = {L"P1", L"p1", L"Sharpen", L"SHARPEN", L"插件", L"a b", L" P1", L"P1 ", L"\u0130",
                                  L"i", L"\u212A", L"k", L"\u00C4", L"\u00E4", L"#x", L"x;y", L"\"q\"", L"",
                                  L"PlugInInfo", L"pluginINFO", L"名 字", L"Name", L"NAME", L"SrcFile", L"Count"};
    const std::wstring values[] = {L"", L"v", L" v", L"v ", L"\"v\"", L"'v'", L"\"v", L"a=b", L"a ; b", L"锐化",
                                   std::wstring(300, L'x'), L"\tv", L"v\t", L"\u3000v", L"x\u00A0", L" ", L"\"\"",
                                   L"\U0001F600", L"a\u0085", L"P1", L"第 1 个插件。", L"[x]"};
    const wchar_t* const ends[] = {L"\r\n", L"\r\n", L"\r\n", L"\n", L"\r", L""};
    const wchar_t* const fallbacks[] = {L"[未知]", L"", L"[无]", L"d "};
    const size_t sizes[] = {1, 2, 3, 8, 64, 128, 256, 400};
    std::mt19937 random(24);
    auto pick = [&](size_t n) { return size_t(random() % n); };
    TempDir dir;
    long claimed = 0, compared = 0;
    const int catalogs = 300;
    for (int c = 0; c < catalogs; ++c) {
        const bool plain = c % 2;  // half of them of the lines the image claims
        auto name = [&] { return plain ? names[std::vector<size_t>{0, 2, 4, 5, 18, 21, 23, 24}[pick(8)]]
                                       : names[pick(std::size(names))]; };
        auto value = [&] { return plain ? values[std::vector<size_t>{0, 1, 7, 8, 9, 10, 19, 20, 21}[pick(9)]]
                                        : values[pick(std::size(values))]; };
        std::wstring text;
        for (size_t line = 0, lines = 1 + pick(plain ? 7 : 12); line < lines; ++line) {
            switch (plain ? (line == 0 ? 0 : pick(4)) : pick(10)) {
            case 0: text += L"[" + name() + L"]"; break;
            case 1: case 2: text += name() + L"=" + value(); break;
            case 3: text += pick(2) ? L";" + value() : L""; break;
            case 4: text += L"#c"; break;
            case 5: text += L"  "; break;
            case 6: text += name(); break;
            case 7: text += (pick(2) ? L" [" : L"[") + name() + (pick(2) ? L"] " : L"]x"); break;
            case 8: text += name() + L" = " + value(); break;
            default: text += std::wstring(1, L'\0') + name() + L"=" + value(); break;
            }
            text += plain ? ends[pick(4)] : ends[pick(std::size(ends))];
        }
        const std::wstring folder = dir / std::to_wstring(c);
        MakeDirs(folder);
        WriteUtf16File(folder + L"\\Corvane.ini", text);
        CatalogFile file;
        LocateCatalogFile(folder.c_str(), &file);
        const CatalogSource source = CatalogFileSource(&file);
        const std::wstring ini = folder + L"\\Corvane.ini";
        for (int query = 0; query < 60; ++query) {
            const std::wstring section = pick(8) ? names[pick(std::size(names))] : L"P9";
            const std::wstring key = names[pick(std::size(names))];
            const wchar_t* fallback = fallbacks[pick(std::size(fallbacks))];
            const size_t size = sizes[pick(std::size(sizes))];
            if (section.empty()) continue;  // the reader never looks up "[]"
            std::vector<wchar_t> expected(size + 1, L'?'), actual(size + 1, L'?');
            GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback, expected.data(), DWORD(size), ini.c_str());
            source.readString(source.context, section.c_str(), key.c_str(), fallback, actual.data(), size);
            if (wcscmp(expected.data(), actual.data()))
                Fail(__FILE__, __LINE__, "catalog " + std::to_string(c) + " [" + Utf8(section) + "] " + Utf8(key) +
                                             " (" + std::to_string(size) + "): profile \"" + Utf8(expected.data()) +
                                             "\", image \"" + Utf8(actual.data()) + "\"");
            ++compared;
        }
        claimed += file.imageRead == CatalogFile::ImageRead::Read;
        ReleaseCatalogFile(&file);
    }
    printf("    %ld of %d catalogs answered from the image, %ld reads compared\n", claimed, catalogs, compared);
    CHECK(claimed >= catalogs / 3);
}

}  // namespace

void RunCatalogTests() {
    Scenario("no usable catalog: warning, disabled list and Install, placeholders", EmptyCatalogs);
    Scenario("a huge Count: the written entries, at once; index keys past 100,000: out-of-memory warning",
             CountTooLarge);
    Scenario("defaults for missing sections and keys; names cut to 63", DefaultsAndLimits);
    Scenario("version texts through the first translation, or [NO VERSION]; the program's own", VersionTexts);
    Scenario("the programs' version resources in both languages", OwnVersionResources);
    Scenario("a plug-in path too long for its buffer reads as missing", PathTooLong);
    Scenario("the catalog read once answers each key as the profile functions do", ImageAnswersAsProfile);
}
