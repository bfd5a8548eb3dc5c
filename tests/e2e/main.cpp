// The end-to-end test driver. Usage:
//   e2e_driver GROUP INPUTS    run one group of scenarios
//   e2e_driver smoke INPUTS    one start and install, for a packaged program
//   e2e_driver warmup          start Wine's desktop before the tests run
//   e2e_driver screenshot EXE OUT.bmp [picker]   the dialog after start-up, or
//                                     the folder picker over it, as a picture
#include <cstdio>
#include <cstring>

#include "tests/e2e/harness.h"

void RunDialogTests();
void RunCatalogTests();
void RunFoldersTests();
void RunInstallTests();
void RunSmokeTests();
void RunLaunchTests();
void RunDecorationsTests();
void RunPlantingTests();
void RunUnattendedTests();
int TakeScreenshot(const std::wstring& exe, const std::wstring& out, bool picker);

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && !wcscmp(argv[1], L"warmup")) {
        HWND window = CreateWindowW(L"Static", L"warmup", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        DestroyWindow(window);
        return 0;
    }
    if (argc >= 4 && !wcscmp(argv[1], L"screenshot"))
        return TakeScreenshot(ToWindowsPath(argv[2]), ToWindowsPath(argv[3]), argc >= 5 && !wcscmp(argv[4], L"picker"));
    if (argc < 3) {
        fprintf(stderr, "usage: e2e_driver GROUP INPUTS\n");
        return 2;
    }
    g_inputs = argv[2];
    struct Group {
        const wchar_t* name;
        void (*run)();
    } const groups[] = {{L"dialog", RunDialogTests},   {L"catalog", RunCatalogTests}, {L"folders", RunFoldersTests},
                        {L"install", RunInstallTests}, {L"launch", RunLaunchTests},   {L"decorations", RunDecorationsTests},
                        {L"planting", RunPlantingTests}, {L"unattended", RunUnattendedTests}, {L"smoke", RunSmokeTests}};
    for (const Group& group : groups)
        if (!wcscmp(argv[1], group.name)) {
            group.run();
            return Summary();
        }
    fprintf(stderr, "unknown group\n");
    return 2;
}
