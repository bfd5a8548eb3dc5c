#include "common/registry_text.h"

bool ReadRegistryText(HKEY key, const wchar_t* name, wchar_t* out, size_t size) {
    if (size < 1 || size - 1 > MAXDWORD / sizeof(wchar_t)) return false;
    // The value need not be terminated: one character is kept for that.
    DWORD type = REG_NONE, bytes = static_cast<DWORD>((size - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    out[bytes / sizeof(wchar_t)] = 0;
    return true;
}
