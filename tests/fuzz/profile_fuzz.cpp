// The catalog's text read once: BuildProfileImage over any text, in room of
// exactly the size ProfileImageRoom asks; each key it indexed must be found
// again by its names, their ASCII case turned, with its own value.
#include <memory>
#include <string>

#include "catalog/profile_image_logic.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text is the whole input, in its own block so that a read past it
    // shows; bytes from 0xF0 stand for ideographs. The same bytes turn case.
    std::unique_ptr<wchar_t[]> text(new wchar_t[size]);
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<wchar_t>(data[i] < 0xF0 ? data[i] : 0x4E00 + (data[i] - 0xF0));
    size_t lineRoom, slotRoom;
    ProfileImageRoom(text.get(), size, &lineRoom, &slotRoom);
    std::unique_ptr<ProfileLine[]> lines(new ProfileLine[lineRoom]);
    std::unique_ptr<uint32_t[]> slots(new uint32_t[slotRoom]);
    ProfileImage image;
    if (!BuildProfileImage(text.get(), size, lines.get(), lineRoom, slots.get(), slotRoom, &image)) return 0;
    FuzzInput in(data, size);
    auto turned = [&](const ProfileLine& line) {
        std::wstring name(line.name, line.nameLength);
        for (wchar_t& c : name)
            if ((c | 0x20) >= L'a' && (c | 0x20) <= L'z' && (in.Byte() & 1)) c ^= 0x20;
        return name;
    };
    for (size_t i = 0; i < image.lineCount; ++i) {
        const ProfileLine& key = lines[i];
        if (key.section == kProfileSection) continue;
        const wchar_t* value = nullptr;
        size_t length = 0;
        CONTRACT(FindProfileValue(image, turned(lines[key.section]).c_str(), turned(key).c_str(), &value, &length) ==
                     ProfileAnswer::Found &&
                 value == key.value && length == key.valueLength);
    }
    return 0;
}
