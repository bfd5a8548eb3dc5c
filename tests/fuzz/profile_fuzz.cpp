// The catalog's text read once: BuildProfileImage over any text, in room of
// exactly the size ProfileImageRoom asks, and its answers held against a
// plain reading of the same lines, for names of the text (their ASCII case
// turned) and names from the input.
#include <string>
#include <vector>

#include "catalog/profile_image_logic.h"
#include "common/wide_text.h"
#include "fuzz_support.h"

namespace {

bool SameFolded(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

struct Key {
    std::wstring section, name, value;
};

// The lines as the image claims to read them, once it has claimed the text.
std::vector<Key> PlainReading(const std::wstring& text) {
    std::vector<Key> keys;
    std::wstring section;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') section = line.substr(1, line.size() - 2);
        else keys.push_back({section, line.substr(0, line.find(L'=')), line.substr(line.find(L'=') + 1)});
    }
    return keys;
}

std::wstring TurnCase(std::wstring name, FuzzInput& in) {
    for (wchar_t& c : name)
        if (((c | 0x20) >= L'a' && (c | 0x20) <= L'z') && (in.Byte() & 1)) c ^= 0x20;
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The text is the whole input; bytes from 0xF0 stand for ideographs. The
    // same bytes then choose how names are asked.
    std::wstring text;
    for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i] < 0xF0 ? data[i] : 0x4E00 + (data[i] - 0xF0));
    FuzzInput in(data, size);
    size_t lineRoom, slotRoom;
    ProfileImageRoom(text.data(), text.size(), &lineRoom, &slotRoom);
    CONTRACT(slotRoom && !(slotRoom & (slotRoom - 1)) && slotRoom >= 2 * lineRoom);
    std::unique_ptr<ProfileLine[]> lines(new ProfileLine[lineRoom]);
    std::unique_ptr<uint32_t[]> slots(new uint32_t[slotRoom]);
    // Its own copy, exactly sized, so a read past the text shows.
    std::unique_ptr<wchar_t[]> own(new wchar_t[text.size()]);
    text.copy(own.get(), text.size());
    ProfileImage image;
    if (!BuildProfileImage(own.get(), text.size(), lines.get(), lineRoom, slots.get(), slotRoom, &image)) return 0;
    const std::vector<Key> keys = PlainReading(text);
    std::vector<std::pair<std::wstring, std::wstring>> asked;
    for (const Key& key : keys) asked.push_back({TurnCase(key.section, in), TurnCase(key.name, in)});
    for (int n = in.Byte() % 4; n > 0; --n) asked.push_back({in.Text(), in.Text()});
    for (const auto& [section, name] : asked) {
        const wchar_t* value = nullptr;
        size_t valueLength = 0;
        const ProfileAnswer answer = FindProfileValue(image, section.c_str(), name.c_str(), &value, &valueLength);
        if (answer == ProfileAnswer::Unsure) continue;
        const Key* plain = nullptr;
        for (const Key& key : keys)
            if (SameFolded(key.section, section) && SameFolded(key.name, name)) plain = &key;
        CONTRACT((answer == ProfileAnswer::Found) == (plain != nullptr));
        if (plain)
            CONTRACT(value >= own.get() && value + valueLength <= own.get() + text.size() &&
                     std::wstring(value, valueLength) == plain->value);
    }
    return 0;
}
