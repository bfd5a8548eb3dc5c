// The benchmark driver: times the real program under Wine against small
// baselines of its own, runs interleaved, and prints one line per figure.
//   bench_driver INPUTS [RUNS]
// INPUTS holds the program, the sample plug-ins and the baselines.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Shown and idle after the start-up note: the moment a user can work with it.
void WaitReady(SetupRun& run) {
    run.Dialog();
    run.WaitIdle();
}

// Start until the dialog is ready, in milliseconds.
double TimeStart(const std::wstring& exe) {
    double start = Now();
    SetupRun run(exe);
    WaitReady(run);
    double elapsed = Now() - start;
    run.Exit();
    return elapsed;
}

// Start until the process has ended, in milliseconds.
double TimeRun(const std::wstring& exe, const std::wstring& arguments = L"") {
    double start = Now();
    SetupRun run(exe, false, arguments);
    run.WaitExit(60000);
    return Now() - start;
}

// From `act` until the success box shows, in milliseconds; the box is answered.
template <typename Act>
double TimeToSuccess(SetupRun& run, Act act) {
    double start = Now();
    act();
    if (!run.BoxWithin(60000)) throw TestFailure("no message box appeared");
    double elapsed = Now() - start;
    MessageBoxInfo box = run.WaitBox();
    if (box.caption != L"安装 Photoshop 插件成功") throw TestFailure("not the success box: " + Utf8(box.text));
    run.Answer(box, IDOK);
    return elapsed;
}

// ---- figures -----------------------------------------------------------------

struct Series {
    std::vector<double> values;
    double Median() const { return Quantile(0.5); }
    double Quantile(double q) const {
        if (values.empty()) return 0;
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        double at = q * static_cast<double>(v.size() - 1);
        size_t low = static_cast<size_t>(at);
        size_t high = std::min(low + 1, v.size() - 1);
        return v[low] + (v[high] - v[low]) * (at - static_cast<double>(low));
    }
    // The interquartile range over the median: robust against one stray run.
    double Spread() const {
        double median = Median();
        return median > 0 ? (Quantile(0.75) - Quantile(0.25)) / median : 0;
    }
};

void PrintFigure(const char* name, const char* unit, const Series& program, const Series& baseline) {
    double p = program.Median(), b = baseline.Median();
    char line[256];
    snprintf(line, sizeof line, "%-34s program %9.3f %s  baseline %9.3f %s  ratio %5.2f  spread %3.0f%%%s/%3.0f%%%s  (n=%u)",
             name, p, unit, b, unit, b > 0 ? p / b : 0.0, program.Spread() * 100, program.Spread() > 0.2 ? "!" : " ",
             baseline.Spread() * 100, baseline.Spread() > 0.2 ? "!" : " ", static_cast<unsigned>(program.values.size()));
    puts(line);
    fflush(stdout);
}

int g_runs = 7;

// One warm-up of each, then `g_runs` rounds of all of them in turn.
void Interleave(std::vector<std::function<void(bool record)>> steps) {
    for (auto& step : steps) step(false);
    for (int round = 0; round < g_runs; ++round)
        for (auto& step : steps) step(true);
}

// `written` entries (of `count`), each with a plug-in file named by `filePattern`.
std::wstring CatalogText(long count, long written, const wchar_t* filePattern) {
    std::vector<Entry> entries;
    for (long n = 1; n <= written; ++n) {
        wchar_t file[64];
        swprintf(file, 64, filePattern, n);
        entries.push_back({L"插件 " + std::to_wstring(n), file, L"第 " + std::to_wstring(n) + L" 个插件。", L"Filters",
                           L"滤镜"});
    }
    return CatalogOf(entries, count);
}

// A program folder with `written` plug-ins of their own file each.
struct CatalogFixture : Fixture {
    explicit CatalogFixture(long count) : Fixture(CatalogText(count, count, L"P%05ld.8bf")) {
        Editor();
        CopyInput(L"bench_catalog_floor.exe", *this / L"bench_catalog_floor.exe");
        for (long n = 1; n <= count; ++n) {
            wchar_t file[64];
            swprintf(file, 64, L"P%05ld.8bf", n);
            CopyInput(L"CorvaneSharpen.8bf", *this / file);
        }
    }
};

// The steps of a start, in the order they ended, each a series of lengths.
struct Steps {
    std::vector<std::string> order;
    std::map<std::string, Series> lengths;
    void Add(const std::string& step, double ms) {
        if (!lengths.count(step)) order.push_back(step);
        lengths[step].values.push_back(ms);
    }
};

// One start of a build that marks its steps (app/start_steps.h): from the
// process's creation to each mark, as the program wrote them at exit, then
// to shown and idle as seen from here.
void TimeSteps(const std::wstring& folder, const std::wstring& exe, Steps* steps) {
    const std::wstring marks = folder + L"\\start-steps.txt";
    DeleteFileW(marks.c_str());
    const double start = Now();
    SetupRun run(folder + L"\\" + exe);
    WaitReady(run);
    const double ready = Now();
    run.Exit();
    if (!steps) return;
    std::istringstream in(ReadBytes(marks));
    double frequency = 0, previous = start, ticks = 0;
    std::string step;
    in >> frequency;
    while (frequency > 0 && in >> ticks && std::getline(in >> std::ws, step)) {
        const double at = ticks * 1000.0 / frequency;
        steps->Add(step, at - previous);
        previous = at;
    }
    steps->Add("shown and idle", ready - previous);
}

void PrintSteps(const Steps& program, const Steps& baseline) {
    printf("  %-40s program   same dialog  (medians, ms)\n", "start, step by step");
    for (const std::string& step : program.order) {
        auto other = baseline.lengths.find(step);
        char same[16] = "-";
        if (other != baseline.lengths.end()) snprintf(same, sizeof same, "%.1f", other->second.Median());
        printf("    %-38s %7.1f %11s\n", step.c_str(), program.lengths.at(step).Median(), same);
    }
    fflush(stdout);
}

void StartFigure() {
    Fixture dir(CatalogOf({{L"锐化大师", L"CorvaneSharpen.8bf", std::nullopt, L"Filters"},
                           {L"Frame", L"CorvaneFrame.8bf"},
                           {L"Glow", L"CorvaneGlow.8bf"}}),
                {L"CorvaneSharpen.8bf", L"CorvaneFrame.8bf", L"CorvaneGlow.8bf"});
    dir.Editor();
    CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
    CopyInput(L"bench_setup_steps.exe", dir / L"bench_setup_steps.exe");
    Series program, baseline;
    Interleave({[&](bool r) { double t = TimeStart(dir.exe); if (r) program.values.push_back(t); },
                [&](bool r) { double t = TimeStart(dir / L"bench_dialog.exe"); if (r) baseline.values.push_back(t); }});
    PrintFigure("start, 3 entries / same dialog", "ms", program, baseline);
    // Where the time goes: the same program built with its steps marked.
    Steps programSteps, baselineSteps;
    Interleave({[&](bool r) { TimeSteps(dir.path, L"bench_setup_steps.exe", r ? &programSteps : nullptr); },
                [&](bool r) { TimeSteps(dir.path, L"bench_dialog.exe", r ? &baselineSteps : nullptr); }});
    PrintSteps(programSteps, baselineSteps);
}

void CatalogFigure() {
    CatalogFixture small(100), large(1000);
    double p100 = 0, f100 = 0, p1000 = 0, f1000 = 0;
    Series program, floor, program1000, floor1000;
    Interleave({[&](bool) { p100 = TimeStart(small / L"CorvaneSetup.exe"); },
                [&](bool) { f100 = TimeRun(small / L"bench_catalog_floor.exe"); },
                [&](bool) { p1000 = TimeStart(large / L"CorvaneSetup.exe"); },
                [&](bool r) {
                    f1000 = TimeRun(large / L"bench_catalog_floor.exe");
                    if (!r) return;
                    // Per entry: the difference between 1,000 and 100 entries, so
                    // that start-up counts for neither.
                    program.values.push_back((p1000 - p100) / 900);
                    floor.values.push_back((f1000 - f100) / 900);
                    program1000.values.push_back(p1000);
                    floor1000.values.push_back(f1000);
                }});
    PrintFigure("catalog per entry / API floor", "ms", program, floor);
    PrintFigure("  (ready at 1,000 / floor run)", "ms", program1000, floor1000);
}

// Large catalogs, each against the same dialog: Count=100000 with 3 entries
// written, the same with one index key beyond ASCII, and 2,000 and 20,000
// entries of their own plug-in file each.
void HugeCountFigure() {
    const std::wstring threeWritten = CatalogText(100000, 3, L"CorvaneSharpen.8bf");
    const struct { const char* name; std::wstring catalog; long files; } rows[] = {
        {"start, Count=100000 with 3 written", threeWritten, 0},
        {"start, the same and PlugIn\u01301=P1", L"[PlugInInfo]\r\nPlugIn\u01301=P1\r\n" + threeWritten.substr(14), 0},
        {"start, 2,000 entries and files", CatalogText(2000, 2000, L"P%05ld.8bf"), 2000},
        {"start, 20,000 entries and files", CatalogText(20000, 20000, L"P%05ld.8bf"), 20000},
    };
    for (const auto& row : rows) {
        Fixture dir(row.catalog, {L"CorvaneSharpen.8bf"});
        dir.Editor();
        CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
        // From the Unix side: Wine copies slowly.
        if (row.files && RunShell("python3 -c 'import shutil, sys; [shutil.copyfile(sys.argv[1], sys.argv[2] % n) "
                                  "for n in range(1, " + std::to_string(row.files + 1) + ")]' '" +
                                  UnixPath(Input(L"CorvaneSharpen.8bf")) + "' '" + UnixPath(dir.path) + "/P%05d.8bf'"))
            throw TestFailure("cannot copy the plug-ins");
        CopyInput(L"bench_catalog_floor.exe", dir / L"bench_catalog_floor.exe");
        Series program, baseline, floor;
        // Slow builds take many seconds a start: then one timed run says enough.
        double first = TimeStart(dir.exe);
        if (first > 10000) {
            program.values.push_back(first);
            baseline.values.push_back(TimeStart(dir / L"bench_dialog.exe"));
        } else {
            Interleave({[&](bool r) { double t = TimeStart(dir.exe); if (r) program.values.push_back(t); },
                        [&](bool r) { double t = TimeStart(dir / L"bench_dialog.exe"); if (r) baseline.values.push_back(t); },
                        [&](bool r) {
                            if (!row.files) return;
                            double t = TimeRun(dir / L"bench_catalog_floor.exe", L"/open");
                            if (r) floor.values.push_back(t);
                        }});
        }
        PrintFigure(row.name, "ms", program, baseline);
        // What opening the files alone takes, which no reader can go below.
        if (!floor.values.empty()) PrintFigure("  the same / open, read, close each file", "ms", program, floor);
    }
}

// Ten entries, each with its own copy of a 39 KB plug-in: one built to be
// slow to read (tests/fixtures/pe/hostile.8bf), or a plain one.
void HostileVersionFigure() {
    Fixture hostile(CatalogText(10, 10, L"H%ld.8bf")), plain(CatalogText(10, 10, L"H%ld.8bf"));
    for (long n = 1; n <= 10; ++n)
        CopyInput(L"hostile.8bf", hostile / (L"H" + std::to_wstring(n) + L".8bf")),
            CopyInput(L"plain.8bf", plain / (L"H" + std::to_wstring(n) + L".8bf"));
    Series program, baseline;
    Interleave({[&](bool r) { double t = TimeStart(hostile.exe); if (r) program.values.push_back(t); },
                [&](bool r) { double t = TimeStart(plain.exe); if (r) baseline.values.push_back(t); }});
    PrintFigure("start, 10 hostile 39 KB / plain", "ms", program, baseline);
}

// A program in its folder until it ends, its output thrown away, in
// milliseconds; its exit code must be `code`.
double TimeQuiet(const std::wstring& exe, DWORD code) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + exe + L"\"";
    const double start = Now();
    const bool started = CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        exe.substr(0, exe.rfind(L'\\')).c_str(), &startup, &process);
    CloseHandle(nul);
    if (!started) throw TestFailure("cannot start " + Utf8(exe));
    WaitForSingleObject(process.hProcess, INFINITE);
    const double elapsed = Now() - start;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (exitCode != code) throw TestFailure(Utf8(exe) + " ended with " + std::to_string(exitCode));
    return elapsed;
}

// The checker over 100,000 entries (their files missing: an error each)
// against the installer's own reader over the same catalog.
void CheckerFigure() {
    Fixture dir(CatalogText(100000, 100000, L"P%06ld.8bf"));
    CopyInput(L"CorvaneCheck.exe", dir / L"CorvaneCheck.exe");
    CopyInput(L"bench_catalog_read.exe", dir / L"bench_catalog_read.exe");
    Series program, baseline;
    auto check = [&](bool r) { double t = TimeQuiet(dir / L"CorvaneCheck.exe", 1); if (r) program.values.push_back(t); };
    auto read = [&](bool r) { double t = TimeQuiet(dir / L"bench_catalog_read.exe", 100000); if (r) baseline.values.push_back(t); };
    // A run takes minutes under Wine: then one of each says enough.
    check(true);
    read(true);
    if (program.values[0] < 10000) Interleave({check, read});
    PrintFigure("checker, 100,000 entries / reader", "ms", program, baseline);
}

int ListFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) return 0;
    int folders = 0;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcscmp(found.cFileName, L".") &&
            wcscmp(found.cFileName, L".."))
            ++folders;
    } while (FindNextFileW(listing, &found));
    FindClose(listing);
    return folders;
}

void KeystrokeFigures() {
    Fixture dir(CatalogText(1, 1, L"CorvaneSharpen.8bf"), {L"CorvaneSharpen.8bf"});
    dir.Editor();
    TempDir folders;
    const int sizes[] = {500, 5000};
    for (int size : sizes) {
        std::wstring folder = folders / std::to_wstring(size);
        MakeDirs(folder);
        for (int i = 0; i < size; ++i) CreateDirectoryW((folder + L"\\子目录 " + std::to_wstring(i)).c_str(), nullptr);
    }
    SetupRun run(dir.exe);
    WaitReady(run);
    HWND subBox = run.Item(IDC_SUB_DIR), edit = FindWindowExW(run.Item(IDC_PLUGIN_DIR), nullptr, L"Edit", nullptr);
    if (!edit) throw TestFailure("no edit field in the folder box");
    for (int size : sizes) {
        const std::wstring folder = folders / std::to_wstring(size);
        Series program, baseline;
        Interleave({[&](bool r) {
                        // The folder without its backslash, then the backslash typed.
                        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
                        SendMessageW(edit, EM_SETSEL, folder.size(), folder.size());
                        double start = Now();
                        SendMessageW(edit, WM_CHAR, L'\\', 1);
                        double elapsed = Now() - start;
                        if (SendMessageW(subBox, CB_GETCOUNT, 0, 0) != size) throw TestFailure("sub-folders not listed");
                        if (r) program.values.push_back(elapsed);
                    },
                    [&](bool r) {
                        double start = Now();
                        int listed = ListFolder(folder);
                        double elapsed = Now() - start;
                        if (listed != size) throw TestFailure("the listing missed folders");
                        if (r) baseline.values.push_back(elapsed);
                    }});
        std::string name = "keystroke, " + std::to_string(size) + " sub-folders / listing";
        PrintFigure(name.c_str(), "ms", program, baseline);
    }
    run.Exit();
}

void InstallFigures() {
    Fixture dir(CatalogText(1, 1, L"Big.8bf"));
    CopyInput(L"bench_dialog.exe", dir / L"bench_dialog.exe");
    // A plug-in of 256 MiB: the sample with data appended, so it keeps its version.
    std::string bytes = ReadBytes(Input(L"CorvaneSharpen.8bf"));
    HANDLE file = CreateFileW((dir / L"Big.8bf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    std::string chunk(1 << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<char>(i * 7 + 1);
    for (long long total = bytes.size(); total < (256ll << 20); total += chunk.size())
        WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr);
    CloseHandle(file);
    const std::wstring destination = dir.Editor() + L"\\Filters\\Big.8bf";
    MakeDirs(dir / L"PS\\Plug-Ins\\Filters");
    const std::wstring source = dir / L"Big.8bf";

    SetupRun run(dir.exe);
    WaitReady(run);
    // The baseline: the same dialog whose Install is CopyFileW, FlushFileBuffers
    // on the copy, and the same box.
    SetupRun copier(dir / L"bench_dialog.exe", true, L"\"" + source + L"\" \"" + destination + L"\"");
    WaitReady(copier);
    // Install pressed (or the overwrite question answered) until the success box shows.
    Series fresh, freshCopy, over, overCopy;
    Interleave({[&](bool r) {
                    DeleteFileW(destination.c_str());
                    double t = TimeToSuccess(run, [&] { run.Click(IDC_INSTALL); });
                    if (r) fresh.values.push_back(t);
                },
                [&](bool r) {
                    DeleteFileW(destination.c_str());
                    double t = TimeToSuccess(copier, [&] { copier.Click(IDC_INSTALL); });
                    if (r) freshCopy.values.push_back(t);
                },
                [&](bool r) {
                    // Timed from the answer to the overwrite question.
                    run.Click(IDC_INSTALL);
                    MessageBoxInfo question = run.WaitBox();
                    double t = TimeToSuccess(run, [&] { run.Answer(question, IDYES); });
                    if (r) over.values.push_back(t);
                },
                [&](bool r) {
                    double t = TimeToSuccess(copier, [&] { copier.Click(IDC_INSTALL); });
                    if (r) overCopy.values.push_back(t);
                }});
    PrintFigure("install 256 MiB / durable copy + box", "ms", fresh, freshCopy);
    PrintFigure("install over it / durable copy over + box", "ms", over, overCopy);
    copier.Exit();
    run.Exit();
}

// /S: 20 plug-ins of 2 MB each into 3 editors' folders, start to end,
// against the bench's own CopyFileW + FlushFileBuffers of the same 60 files;
// then /S over them, all up to date, against reading the 60 files once.
void UnattendedFigures() {
    std::vector<Entry> entries;
    for (int n = 1; n <= 20; ++n) entries.push_back({L"P" + std::to_wstring(n), L"P" + std::to_wstring(n) + L".8bf"});
    Fixture dir(CatalogOf(entries));
    const std::string sample = ReadBytes(Input(L"CorvaneSharpen.8bf"));
    std::vector<std::pair<std::wstring, std::wstring>> copies;  // source, destination
    for (int e = 1; e <= 3; ++e) {
        MakeDirs(dir / (L"PS" + std::to_wstring(e) + L"\\Plug-Ins"));
    }
    SetPhotoshopVersions({{L"10.0", dir / L"PS1"}, {L"11.0", dir / L"PS2"}, {L"12.0", dir / L"PS3"}});
    for (int n = 1; n <= 20; ++n) {
        const std::wstring name = L"P" + std::to_wstring(n) + L".8bf";
        std::string bytes = sample;
        bytes.resize(2 << 20, static_cast<char>(n));
        WriteBytes(dir.program + L"\\" + name, bytes);
        for (int e = 1; e <= 3; ++e)
            copies.push_back({dir.program + L"\\" + name, dir / (L"PS" + std::to_wstring(e) + L"\\Plug-Ins\\" + name)});
    }
    auto clear = [&] { for (auto& copy : copies) DeleteFileW(copy.second.c_str()); };
    auto install = [&] {
        double start = Now();
        SetupRun run(dir.exe, false, L"/S");
        if (run.WaitExit(60000) != 0) throw TestFailure("/S did not end with 0");
        return Now() - start;
    };
    Series fresh, copied, again, read;
    Interleave({[&](bool r) {
                    clear();
                    double t = install();
                    if (r) fresh.values.push_back(t);
                },
                [&](bool r) {
                    clear();
                    double start = Now();
                    for (auto& copy : copies) {
                        CopyFileW(copy.first.c_str(), copy.second.c_str(), FALSE);
                        HANDLE file = CreateFileW(copy.second.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                        FlushFileBuffers(file);
                        CloseHandle(file);
                    }
                    if (r) copied.values.push_back(Now() - start);
                },
                [&](bool r) {
                    // Up to date: nothing may be written, so the files keep their identity.
                    BY_HANDLE_FILE_INFORMATION before, after;
                    HANDLE file = CreateFileW(copies[0].second.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
                    GetFileInformationByHandle(file, &before);
                    CloseHandle(file);
                    double t = install();
                    file = CreateFileW(copies[0].second.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
                    GetFileInformationByHandle(file, &after);
                    CloseHandle(file);
                    if (before.nFileIndexLow != after.nFileIndexLow || before.nFileIndexHigh != after.nFileIndexHigh)
                        throw TestFailure("/S rewrote a file that was up to date");
                    if (r) again.values.push_back(t);
                },
                [&](bool r) {
                    double start = Now();
                    for (auto& copy : copies) ReadBytes(copy.second);
                    if (r) read.values.push_back(Now() - start);
                }});
    PrintFigure("/S 20 x 2 MB into 3 / CopyFileW+flush", "ms", fresh, copied);
    PrintFigure("/S all up to date / reading the 60", "ms", again, read);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_driver INPUTS [RUNS] [FIGURE...]\n");
        return 2;
    }
    g_inputs = argv[1];
    g_pollMs = 1;  // so that a poll adds little to what it measures
    if (argc >= 3) g_runs = std::max(1, _wtoi(argv[2]));
    auto wanted = [&](const wchar_t* name) {
        if (argc < 4) return true;
        for (int i = 3; i < argc; ++i)
            if (!wcscmp(argv[i], name)) return true;
        return false;
    };
    ClearRegistry();
    int status = 0;
    struct Figure {
        const wchar_t* name;
        void (*run)();
    } const figures[] = {{L"start", StartFigure},
                         {L"catalog", CatalogFigure},
                         {L"huge", HugeCountFigure},
                         {L"checker", CheckerFigure},
                         {L"keystroke", KeystrokeFigures},
                         {L"install", InstallFigures},
                         {L"version", HostileVersionFigure},
                         {L"unattended", UnattendedFigures}};
    for (const Figure& figure : figures) {
        if (!wanted(figure.name)) continue;
        try {
            figure.run();
        } catch (const std::exception& e) {
            printf("%s: failed: %s\n", Utf8(figure.name).c_str(), e.what());
            fflush(stdout);
            status = 1;
        }
    }
    ClearRegistry();
    return status;
}
