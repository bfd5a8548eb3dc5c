// The moments at which each step of a start ended, in the performance
// counter's ticks (one clock for every process), written at exit to
// start-steps.txt beside the program as "TICKS STEP" lines after a
// "FREQUENCY" line, for the benchmark driver to set against its own clock.
#include <windows.h>

#include <cstdio>

#include "app/start_steps.h"

namespace {

struct Mark {
    const char* step;
    LONGLONG ticks;
};
Mark g_marks[32];
int g_count;

}  // namespace

void MarkStartStep(const char* step) {
    if (g_count == 32) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    g_marks[g_count++] = {step, now.QuadPart};
}

void SaveStartSteps() {
    wchar_t path[MAX_PATH + 20];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    wcscpy(path + length, L"start-steps.txt");
    FILE* out = _wfopen(path, L"w");
    if (!out) return;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    fprintf(out, "%lld\n", frequency.QuadPart);
    for (int i = 0; i < g_count; ++i) fprintf(out, "%lld %s\n", g_marks[i].ticks, g_marks[i].step);
    fclose(out);
}
