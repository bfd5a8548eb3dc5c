// The names of machine types: for the plug-in maker (the checker's English)
// and for the user (the installer's Chinese). Portable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/pe_image_logic.h"

struct MachineNames {
    uint16_t machine;
    const wchar_t* english;
    const wchar_t* user;
};
// Null for a machine type without names (ARM64X is named by the user's name only).
const MachineNames* FindMachineNames(uint16_t machine);

// The machine's name as the user reads it: "32 位 (x86)", "64 位 (x64)",
// "ARM64", "ARM64X", others by number. Cut to fit `size`; false then.
bool FormatMachineName(const ImageMachine& machine, wchar_t* out, size_t size);
