// The unattended command line and its policy: what /S installs or removes
// where, and the exit code a deployment tool reads. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/pe_image_logic.h"
#include "common/wide_text.h"

// Windows Installer's codes, which deployment tools read without setup.
constexpr unsigned long kExitSuccess = 0;
constexpr unsigned long kExitFailure = 1603;
constexpr unsigned long kExitBusy = 1618;
constexpr unsigned long kExitBadCommand = 1639;

constexpr size_t kMaxNamedPlugIns = 64;
constexpr size_t kMaxCommandLine = 32768;  // the system's own limit

enum class CommandKind { Dialog, Help, Unattended, Unusable };

struct UnattendedOptions {
    bool remove = false;
    bool force = false;
    wchar_t folder[kPathSize] = L"";     // /D=; empty: every folder the registry lists
    wchar_t subFolder[kPathSize] = L"";  // /SUB=; empty: the entry's preferred one
    wchar_t log[kPathSize] = L"";        // /LOG=; empty: no log
    wchar_t plugIns[kMaxNamedPlugIns][kPathSize] = {};  // /PLUGIN=, by Name or SrcFile
    size_t plugInCount = 0;
    wchar_t problem[kPathSize] = L"";    // why the line is Unusable: the switch as given
};

// The command line as the system hands it over, the program's own name
// first. Without /S it opens the dialog (the rest ignored), or with /? the
// help. Switches begin with / or -, ignore ASCII case and take their value
// after "="; double quotes group, and are removed. /D= follows the NSIS
// installers' rule: it comes last and takes the rest of the line, spaces
// and all. Unusable: an unknown switch, a value too long, a /D or /LOG that
// is not an absolute path, a /SUB that leaves the folder.
CommandKind ParseCommandLine(const wchar_t* commandLine, UnattendedOptions* options);

// An absolute path that names what it seems to: X:\… or \\server\share\…,
// no part empty, "..", a device name, or a character no name may hold.
bool IsUsableAbsolutePath(const wchar_t* path);

// Whether the entry with `name` and `srcFile` is one the options chose.
bool IsChosenEntry(const UnattendedOptions& options, const wchar_t* name, const wchar_t* srcFile);

// ---- the plan: which entry goes into which folder --------------------------

enum class PlanStep { Install, DoesNotFit, Conflict };

// One chosen entry in one folder, as the machine reads them.
struct PlanCell {
    bool plugInKnown;    // the plug-in file is an image
    ImageMachine plugIn;
    wchar_t destination[kPathSize];  // where it would go (empty: no path, a failure of its own)
    PlanStep step;       // the decision
    size_t other;        // for Conflict: the other entry's index among the chosen
};

// Decides each cell of one folder, whose editor is `editor` (null: none
// readable). A plug-in that the editor cannot load does not go there; two
// entries that would write the same destination: the one built for the
// editor's own machine goes, the other does not fit; where neither or both
// are, the destination is a conflict for both.
void PlanFolder(const ImageMachine* editor, PlanCell* cells, size_t count);

// Whether two catalog files install under the same file name (their last
// parts, ASCII case ignored): builds of one plug-in for two machines, of
// which an editor takes the one it can load.
bool AreBuildsOfOnePlugIn(const wchar_t* srcFileA, const wchar_t* srcFileB);

// ---- outcomes and the exit code ---------------------------------------------

enum class Action { Installed, UpToDate, NewerKept, DoesNotFit, Removed, Absent, Kept, Failed };
const wchar_t* ActionText(Action action);

// What an outcome adds to the exit code: a file another program holds (the
// editor running) is worth a retry; any other failure is not.
unsigned long ExitCodeOf(Action action, unsigned long systemCode);
// The worse of two exit codes: a command that cannot be used, then a
// failure, then a busy file, then success.
unsigned long WorseExitCode(unsigned long a, unsigned long b);

// Whether the installed file's numeric version is above the shipped one's.
bool IsNewerVersion(uint64_t installed, uint64_t shipped);
