#include "catalog/profile_image_logic.h"

#include "common/wide_text.h"

namespace {

// Characters whose case no fold can change into another name's: ASCII
// letters are folded here as the profile functions fold them.
bool NameCharacter(wchar_t c) {
    if (c >= 0x3400 && c <= 0x4DBF) return true;
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
    return c >= 0x20 && c < 0x7F && c != L'[' && c != L']' && c != L'=' && c != L';' && c != L'#' && c != L'"' &&
           c != L'\'';
}

bool PlainName(const wchar_t* name, size_t length) {
    if (!length || name[0] == L' ' || name[length - 1] == L' ') return false;
    for (size_t i = 0; i < length; ++i)
        if (!NameCharacter(name[i])) return false;
    return true;
}

// Blanks of any kind, controls and quotes: what a reader may trim or strip.
bool EndCharacter(wchar_t c) {
    if (c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == L'"' || c == L'\'') return false;
    if (c == 0x1680 || c == 0x180E || c == 0x3000 || c == 0xFEFF || c >= 0xFFF0) return false;
    return !(c >= 0x2000 && c <= 0x200F) && !(c >= 0x2028 && c <= 0x202F) && !(c >= 0x205F && c <= 0x206F);
}

bool PlainValue(const wchar_t* value, size_t length) {
    return !length || (EndCharacter(value[0]) && EndCharacter(value[length - 1]));
}

uint32_t Hash(uint32_t section, const wchar_t* name, size_t length) {
    uint32_t hash = 2166136261u ^ section;
    for (size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<uint32_t>(FoldAscii(name[i]))) * 16777619u;
    return hash;
}

bool SameName(const ProfileLine& line, uint32_t section, const wchar_t* name, size_t length) {
    if (line.section != section || line.nameLength != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (FoldAscii(line.name[i]) != FoldAscii(name[i])) return false;
    return true;
}

// The slot of `name` in `section`: its line's, or the free one where it would go.
uint32_t* Slot(const ProfileImage& image, uint32_t section, const wchar_t* name, size_t length) {
    const size_t mask = image.slotCount - 1;
    for (size_t at = Hash(section, name, length) & mask;; at = (at + 1) & mask) {
        uint32_t* slot = &image.slots[at];
        if (!*slot || SameName(image.lines[*slot - 1], section, name, length)) return slot;
    }
}

}  // namespace

void ProfileImageRoom(const wchar_t* text, size_t length, size_t* lines, size_t* slots) {
    *lines = 1;
    for (size_t i = 0; i < length; ++i) *lines += text[i] == L'\n';
    *slots = 1;
    while (*slots < 2 * *lines) *slots *= 2;
}

bool BuildProfileImage(const wchar_t* text, size_t length, ProfileLine* lines, size_t lineCapacity, uint32_t* slots,
                       size_t slotCount, ProfileImage* image) {
    *image = ProfileImage{lines, 0, slots, slotCount};
    if (!slotCount || (slotCount & (slotCount - 1))) return false;
    for (size_t i = 0; i < slotCount; ++i) slots[i] = 0;
    uint32_t section = kProfileSection;
    for (size_t start = 0; start < length;) {
        size_t end = start;
        while (end < length && text[end] != L'\n') ++end;
        const size_t next = end + 1;
        if (end > start && text[end - 1] == L'\r') --end;
        const wchar_t* line = text + start;
        const size_t size = end - start;
        start = next;
        for (size_t i = 0; i < size; ++i)
            if (!line[i] || line[i] == L'\r') return false;
        if (!size || line[0] == L';') continue;
        // Kept at most half full, so that a look-up always meets a free slot.
        if (image->lineCount >= lineCapacity || 2 * (image->lineCount + 1) > slotCount) return false;
        ProfileLine item{line, nullptr, 0, 0, kProfileSection};
        if (line[0] == L'[') {
            if (size < 2 || line[size - 1] != L']') return false;
            item.name = line + 1;
            item.nameLength = static_cast<uint32_t>(size - 2);
        } else {
            if (section == kProfileSection) return false;
            size_t equals = 0;
            while (equals < size && line[equals] != L'=') ++equals;
            if (equals == size) return false;
            item.nameLength = static_cast<uint32_t>(equals);
            item.value = line + equals + 1;
            item.valueLength = static_cast<uint32_t>(size - equals - 1);
            item.section = section;
            if (!PlainValue(item.value, item.valueLength)) return false;
        }
        if (!PlainName(item.name, item.nameLength)) return false;
        uint32_t* slot = Slot(*image, item.section, item.name, item.nameLength);
        if (*slot) return false;  // repeated
        lines[image->lineCount] = item;
        *slot = static_cast<uint32_t>(++image->lineCount);
        if (item.section == kProfileSection) section = *slot - 1;
    }
    return true;
}

ProfileAnswer FindProfileValue(const ProfileImage& image, const wchar_t* section, const wchar_t* key,
                               const wchar_t** value, size_t* valueLength) {
    const size_t sectionLength = WideLength(section), keyLength = WideLength(key);
    if (!PlainName(section, sectionLength) || !PlainName(key, keyLength)) return ProfileAnswer::Unsure;
    const uint32_t header = *Slot(image, kProfileSection, section, sectionLength);
    if (!header) return ProfileAnswer::Missing;
    const uint32_t line = *Slot(image, header - 1, key, keyLength);
    if (!line) return ProfileAnswer::Missing;
    *value = image.lines[line - 1].value;
    *valueLength = image.lines[line - 1].valueLength;
    return ProfileAnswer::Found;
}

bool PlainProfileFallback(const wchar_t* fallback) { return PlainValue(fallback, WideLength(fallback)); }
