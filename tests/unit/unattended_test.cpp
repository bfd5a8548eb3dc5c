#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/unattended_logic.h"

// Each row: the command line, what it asks for, and the options read from it
// as "remove force |folder|sub|log|plug-ins,|problem".
TEST(Unattended, CommandLines) {
    const std::wstring tooLong(300, L'x');
    struct Case { std::wstring line; CommandKind kind; std::wstring options; };
    const Case cases[] = {
        {L"setup.exe", CommandKind::Dialog, L"0 0 |||||"},
        {L"\"C:\\My Setup\\setup.exe\" /PLUGIN=x /nonsense", CommandKind::Dialog, L"0 0 |||||"},
        {L"setup.exe /?", CommandKind::Help, L"0 0 |||||"},
        {L"setup.exe -s", CommandKind::Unattended, L"0 0 |||||"},
        {L"setup.exe /S /REMOVE -force", CommandKind::Unattended, L"1 1 |||||"},
        {L"setup.exe /s /plugin=\"锐化 大师\" \"/PlugIn=Frame.8bf\" /SUB=Filters /LOG=C:\\logs\\c.log",
         CommandKind::Unattended, L"0 0 ||Filters|C:\\logs\\c.log|锐化 大师,Frame.8bf,|"},
        {L"setup.exe /S /D=C:\\Program Files\\Adobe\\Plug-Ins  ", CommandKind::Unattended,
         L"0 0 |C:\\Program Files\\Adobe\\Plug-Ins||||"},
        {L"setup.exe /S /D=\"\\\\server\\share\\Plug-Ins\"", CommandKind::Unattended,
         L"0 0 |\\\\server\\share\\Plug-Ins||||"},
        {L"setup.exe /S \"/D=D:\\PS 2024\\Plug-Ins\"", CommandKind::Unattended, L"0 0 |D:\\PS 2024\\Plug-Ins||||"},
        {L"setup.exe /S /D=C:\\", CommandKind::Unattended, L"0 0 |C:\\||||"},
        {L"setup.exe /D=C:\\x /S", CommandKind::Dialog, L"0 0 |||||"},  // /S inside /D's value
        {L"setup.exe /S /Q", CommandKind::Unusable, L"0 0 |||||/Q"},
        {L"setup.exe /S /S=1", CommandKind::Unusable, L"0 0 |||||/S=1"},
        {L"setup.exe /S /? ", CommandKind::Unusable, L"0 0 |||||/?"},
        {L"setup.exe /S /PLUGIN=", CommandKind::Unusable, L"0 0 |||||/PLUGIN="},
        {L"setup.exe /S /D=Plug-Ins", CommandKind::Unusable, L"0 0 |Plug-Ins||||/D=Plug-Ins"},
        {L"setup.exe /S /D=C:\\PS\\..\\Windows", CommandKind::Unusable, L"0 0 |C:\\PS\\..\\Windows||||/D=C:\\PS\\..\\Windows"},
        {L"setup.exe /S /D=C:\\PS\\NUL", CommandKind::Unusable, L"0 0 |C:\\PS\\NUL||||/D=C:\\PS\\NUL"},
        {L"setup.exe /S /D=\\\\?\\C:\\PS", CommandKind::Unusable, L"0 0 |\\\\?\\C:\\PS||||/D=\\\\?\\C:\\PS"},
        {L"setup.exe /S /D=C:" + tooLong, CommandKind::Unusable, L"0 0 |||||(too long)"},
        {L"setup.exe /S /SUB=..\\..", CommandKind::Unusable, L"0 0 ||..\\..|||/SUB=..\\.."},
        {L"setup.exe /S /LOG=setup.log", CommandKind::Unusable, L"0 0 |||||/LOG=setup.log"},
        {L"setup.exe /S /LOG=C:\\CON", CommandKind::Unusable, L"0 0 |||||/LOG=C:\\CON"},
        {L"setup.exe /S /PLUGIN=" + tooLong, CommandKind::Unusable, L"0 0 |||||(too long)"},
    };
    for (const Case& c : cases) {
        UnattendedOptions options;
        const CommandKind kind = ParseCommandLine(c.line.c_str(), &options);
        std::wstring got = std::to_wstring(options.remove) + L" " + std::to_wstring(options.force) + L" |" +
                           options.folder + L"|" + options.subFolder + L"|" + options.log + L"|";
        for (size_t i = 0; i < options.plugInCount; ++i) got += std::wstring(options.plugIns[i]) + L",";
        got += std::wstring(L"|") + options.problem;
        EXPECT_EQ(static_cast<int>(kind), static_cast<int>(c.kind)) << std::string(c.line.begin(), c.line.end());
        EXPECT_EQ(got, c.options) << std::string(c.line.begin(), c.line.end());
    }
    UnattendedOptions many;
    std::wstring line = L"setup.exe /S";
    for (size_t i = 0; i <= kMaxNamedPlugIns; ++i) line += L" /PLUGIN=p";
    EXPECT_EQ(ParseCommandLine(line.c_str(), &many), CommandKind::Unusable);
}

TEST(Unattended, ChosenEntries) {
    UnattendedOptions options;
    ParseCommandLine(L"x /S /PLUGIN=corvanesharpen.8BF /PLUGIN=锐化", &options);
    EXPECT_TRUE(IsChosenEntry(options, L"Frame", L"CorvaneSharpen.8bf"));
    EXPECT_TRUE(IsChosenEntry(options, L"锐化", L"Other.8bf"));
    EXPECT_FALSE(IsChosenEntry(options, L"锐化大师", L"Other.8bf"));
    ParseCommandLine(L"x /S", &options);
    EXPECT_TRUE(IsChosenEntry(options, L"", L""));
    EXPECT_TRUE(AreBuildsOfOnePlugIn(L"x86\\Frame.8bf", L"Builds/X64/frame.8BF"));
    EXPECT_FALSE(AreBuildsOfOnePlugIn(L"Frame32.8bf", L"Frame64.8bf"));
}

// Each row: the editor's machine (0: none readable), the cells as
// "machine destination" (machine 0: not an image), and the steps expected
// ("I" install, "F" does not fit, "C" conflict).
TEST(Unattended, PlanOfOneFolder) {
    struct Cell { uint16_t machine; const wchar_t* destination; };
    struct Case { uint16_t editor; std::vector<Cell> cells; std::string steps; };
    const Case cases[] = {
        {kMachineX64, {{kMachineX86, L"a"}, {kMachineX64, L"b"}}, "FI"},
        {kMachineX86, {{kMachineX86, L"a"}, {kMachineX64, L"b"}}, "IF"},
        {0, {{kMachineX86, L"a"}, {kMachineX64, L"b"}}, "II"},
        {kMachineX64, {{0, L"a"}}, "I"},
        {kMachineX64, {{kMachineX86, L"P\\F.8bf"}, {kMachineX64, L"p\\f.8BF"}}, "FI"},
        {kMachineX64, {{kMachineX64, L"P\\F.8bf"}, {0, L"p\\f.8BF"}}, "IF"},
        {0, {{kMachineX86, L"P\\F.8bf"}, {kMachineX64, L"P\\F.8bf"}}, "CC"},
        {kMachineX64, {{kMachineX64, L"P\\F.8bf"}, {kMachineX64, L"P\\F.8bf"}, {kMachineX64, L"Q"}}, "CCI"},
        {kMachineX64, {{0, L"P\\F.8bf"}, {0, L"P\\F.8bf"}}, "CC"},
        {kMachineX64, {{kMachineX64, L""}, {kMachineX64, L""}}, "II"},  // no path: each fails on its own
    };
    for (const Case& c : cases) {
        std::vector<PlanCell> cells(c.cells.size());
        for (size_t i = 0; i < cells.size(); ++i) {
            cells[i].plugInKnown = c.cells[i].machine != 0;
            cells[i].plugIn = {c.cells[i].machine, false};
            WideCopy(cells[i].destination, kPathSize, c.cells[i].destination);
        }
        const ImageMachine editor{c.editor, false};
        PlanFolder(c.editor ? &editor : nullptr, cells.data(), cells.size());
        std::string steps;
        for (const PlanCell& cell : cells)
            steps += cell.step == PlanStep::Install ? 'I' : cell.step == PlanStep::DoesNotFit ? 'F' : 'C';
        EXPECT_EQ(steps, c.steps) << "row " << (&c - cases);
    }
}

TEST(Unattended, ExitCodes) {
    EXPECT_EQ(ExitCodeOf(Action::Installed, 0), 0u);
    EXPECT_EQ(ExitCodeOf(Action::DoesNotFit, 0), 0u);
    EXPECT_EQ(ExitCodeOf(Action::Failed, 32), kExitBusy);
    EXPECT_EQ(ExitCodeOf(Action::Failed, 5), kExitFailure);
    EXPECT_EQ(ExitCodeOf(Action::Kept, 0), kExitFailure);
    EXPECT_EQ(WorseExitCode(kExitBusy, kExitFailure), kExitFailure);
    EXPECT_EQ(WorseExitCode(kExitFailure, kExitBusy), kExitFailure);
    EXPECT_EQ(WorseExitCode(kExitSuccess, kExitBusy), kExitBusy);
    EXPECT_EQ(WorseExitCode(kExitBadCommand, kExitFailure), kExitBadCommand);
}
