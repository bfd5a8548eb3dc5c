// The catalog file's text read once and answered from memory: the profile
// functions read the whole file again for each key and look through the
// sections one by one, which costs seconds at thousands of entries. Only
// plain text is claimed, whose reading by the profile functions is simple
// and was compared with theirs; anything else is left to them. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

// A section header or a key line of the text.
struct ProfileLine {
    const wchar_t* name;
    const wchar_t* value;  // keys only
    uint32_t nameLength, valueLength;
    uint32_t section;  // a key's header, as an index into the lines; kProfileSection for a header
};
constexpr uint32_t kProfileSection = 0xFFFFFFFFu;

struct ProfileImage {
    ProfileLine* lines;
    size_t lineCount;
    uint32_t* slots;  // a hash table of line index + 1, 0 for free
    size_t slotCount;
};

// Room that BuildProfileImage needs for `text`: lines, and slots (a power of two).
void ProfileImageRoom(const wchar_t* text, size_t length, size_t* lines, size_t* slots);

// Indexes `text` (the decoded characters, without a byte-order mark) in the
// room given. False when the text holds anything this reading does not claim:
// other line ends than CR LF or LF, a NUL, a key before the first section,
// a line that is neither a header, a key with '=', a ';' comment nor empty,
// a name with blanks at its ends or characters beyond ASCII letters, digits,
// punctuation and CJK ideographs (whose case the profile functions might fold
// otherwise), a value with a blank or quote at an end, a repeated section or
// key. The text must outlive the image.
bool BuildProfileImage(const wchar_t* text, size_t length, ProfileLine* lines, size_t lineCapacity, uint32_t* slots,
                       size_t slotCount, ProfileImage* image);

enum class ProfileAnswer { Found, Missing, Unsure };

// GetPrivateProfileStringW's answer for `section` and `key`: Found with the
// value, Missing (the fallback applies), or Unsure for a name this reading
// does not claim (ask the profile functions).
ProfileAnswer FindProfileValue(const ProfileImage& image, const wchar_t* section, const wchar_t* key,
                               const wchar_t** value, size_t* valueLength);

// Whether `fallback` is taken as it stands (no blank or quote at its ends).
bool PlainProfileFallback(const wchar_t* fallback);
