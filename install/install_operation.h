// Installing one catalog entry into one folder, and removing it again, over
// plain values. The two questions an install may raise are put to the caller:
// the dialog asks the user, the command line answers by its policy.
#pragma once
#include <windows.h>

#include <cstdint>

#include "common/pe_image_logic.h"

enum class OverwriteAnswer { Replace, Decline, UpToDate, NewerKept };

struct InstallQuestions {
    void* context;
    // Whether to install `srcFile`, built for `plugIn`, where the folder's
    // editor, built for `editor`, cannot load it.
    bool (*installMisfit)(void* context, const wchar_t* srcFile, const ImageMachine& plugIn,
                          const ImageMachine& editor);
    // What to do with the file already at the destination: `installed` is it,
    // open for reading (INVALID_HANDLE_VALUE when it cannot be read), `source`
    // the checked plug-in file beside the program.
    OverwriteAnswer (*overwrite)(void* context, const wchar_t* srcFile, const wchar_t* newVersion,
                                 HANDLE installed, HANDLE source);
};

// Where the plug-in files are read from (null: the program's folder), and
// whether anything is written: not when the checker looks ahead.
// `source`: the plug-in file already opened by OpenPlugInSource (kept open
// for the caller), else INVALID_HANDLE_VALUE and it is opened here.
struct InstallSetting {
    const wchar_t* sourceFolder = nullptr;
    bool write = true;
    HANDLE source = INVALID_HANDLE_VALUE;
};

enum class InstallOutcome { Installed, UpToDate, NewerKept, DoesNotFit, Declined, Failed };

// Installs `srcFile` (its version text `newVersion`) from the program's
// folder into `folder` and `subFolder` (blank: none). `destination`
// (`size` characters) gets the whole destination path when it could be
// composed; `*code` the system's code on Failed.
InstallOutcome InstallPlugInInto(const wchar_t* srcFile, const wchar_t* newVersion, const wchar_t* folder,
                                 const wchar_t* subFolder, const InstallQuestions& questions,
                                 const InstallSetting& setting, wchar_t* destination, size_t size, DWORD* code);

enum class RemoveOutcome { Removed, Absent, Kept, Failed };

// Deletes the installed `srcFile` below `folder` and `subFolder`, only when
// its bytes are those of the file beside the program or `removeDiffering`
// says so; never through a link, never anything else. As above otherwise.
RemoveOutcome RemovePlugInFrom(const wchar_t* srcFile, const wchar_t* folder, const wchar_t* subFolder,
                               bool removeDiffering, const InstallSetting& setting, wchar_t* destination,
                               size_t size, DWORD* code);

// The system's text for `code` into `text` (`size` characters); empty when none.
void FormatSystemError(DWORD code, wchar_t* text, size_t size);

// ---- what the questions' answers are made of --------------------------------

// `srcFile` in `folder` (null: beside the program), opened once and checked
// to lie inside that folder, into `*file`. Else `*code`.
bool OpenPlugInSource(const wchar_t* folder, const wchar_t* srcFile, HANDLE* file, DWORD* code);
// The machine of the image open as `file`.
bool ReadMachineOf(HANDLE file, ImageMachine* machine);
// The machine of the editor owning plug-in folder `folder`, found as Start
// Photoshop finds it.
bool ReadEditorMachine(const wchar_t* folder, ImageMachine* machine);
// Whether the two open files hold the same bytes; false too when either
// cannot be read whole.
bool SameFileBytes(HANDLE a, HANDLE b);
