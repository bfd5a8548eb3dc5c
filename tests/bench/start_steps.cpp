// Each step's end in the performance counter's ticks (one clock for every
// process), written at exit to start-steps.txt beside the program: the
// counter's frequency, then a "TICKS STEP" line per step.
#include <windows.h>

#include <cstdio>

#include "app/start_steps.h"

namespace {

struct {
    const char* step;
    LONGLONG ticks;
} g_marks[32];
int g_count;

}  // namespace

void MarkStartStep(const char* step) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    if (g_count < 32) g_marks[g_count++] = {step, now.QuadPart};
}

void SaveStartSteps() {
    wchar_t path[MAX_PATH + 16];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (length > 0 && path[length - 1] != L'\\') --length;
    wcscpy(path + length, L"start-steps.txt");
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    if (FILE* out = _wfopen(path, L"w")) {
        fprintf(out, "%lld\n", frequency.QuadPart);
        for (int i = 0; i < g_count; ++i) fprintf(out, "%lld %s\n", g_marks[i].ticks, g_marks[i].step);
        fclose(out);
    }
}
