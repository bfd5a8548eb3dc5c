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
double TimeRun(const std::wstring& exe) {
    double start = Now();
    SetupRun run(exe, false);
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
                         {L"keystroke", KeystrokeFigures},
                         {L"install", InstallFigures}};
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
