#include "common/machine_names_logic.h"

#include "common/user_texts.h"
#include "common/wide_text.h"

const MachineNames* FindMachineNames(uint16_t machine) {
    static const MachineNames kNames[] = {{kMachineX86, L"x86", kMachineX86Name},
                                          {kMachineX64, L"x64", kMachineX64Name},
                                          {kMachineArm64, L"ARM64", kMachineArm64Name}};
    for (const MachineNames& names : kNames)
        if (names.machine == machine) return &names;
    return nullptr;
}

bool FormatMachineName(const ImageMachine& machine, wchar_t* out, size_t size) {
    if (machine.arm64x) return WideCopy(out, size, kMachineArm64xName);
    if (const MachineNames* names = FindMachineNames(machine.machine)) return WideCopy(out, size, names->user);
    const TextArg args[] = {static_cast<long>(machine.machine)};
    return FormatText(out, size, kOtherMachinePattern, args);
}
