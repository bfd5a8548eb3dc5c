// The plug-in folder and sub-folder rules; the first byte picks the function.
#include <cwchar>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "photoshop/folders_logic.h"

namespace {

void Candidate(FuzzInput& in) {
    const size_t size = in.Size();
    const std::wstring install = in.Text(), name = in.Text();
    OutBuffer out(size);
    bool ok = ComposePlugInFolderCandidate(install.c_str(), name.c_str(), out.data(), size);
    CheckResult(out, ok, WithTrailingBackslash(install) + name, false);
}

void ListingPattern(FuzzInput& in) {
    const size_t folderSize = in.Size(), patternSize = in.Size();
    const std::wstring folder = in.Text();
    OutBuffer folderOut(folderSize, folder), pattern(patternSize);
    bool ok = ComposeListingPattern(folderOut.data(), folderSize, pattern.data(), patternSize);
    const std::wstring ensured = WithTrailingBackslash(folder);
    if (folder.size() >= folderSize || ensured.size() >= folderSize) {
        CONTRACT(!ok && folderOut.Unchanged());
    } else {
        CONTRACT(folderOut.Text() == ensured);
        CheckResult(pattern, ok, ensured + L"\\*", false);
    }
}

void Listed(FuzzInput& in) {
    const uint32_t attributes = static_cast<uint32_t>(in.Bytes(4));
    const std::wstring name = in.Text();
    CONTRACT(IsListedSubFolder(attributes, name.c_str()) == ((attributes & 0x10) && name != L"." && name != L".."));
}

bool StartsWithFolded(const std::wstring& text, const wchar_t* prefix) {
    return FoldAsciiModel(text).compare(0, std::wcslen(prefix), FoldAsciiModel(prefix)) == 0;
}

// A combo box's prefix search, recording which items it is asked about.
struct FakeList {
    const std::vector<std::wstring>& items;
    std::vector<int> probed;
    static bool StartsWith(void* context, int item, const wchar_t* prefix) {
        auto& list = *static_cast<FakeList*>(context);
        CONTRACT(item >= 0 && static_cast<size_t>(item) < list.items.size());
        list.probed.push_back(item);
        return StartsWithFolded(list.items[item], prefix);
    }
};

void Picks(FuzzInput& in) {
    const uint8_t flags = in.Byte();
    const std::wstring first = in.Text(), second = in.Text();
    const wchar_t* preferred[] = {flags & 1 ? nullptr : first.c_str(), flags & 2 ? nullptr : second.c_str()};
    std::vector<std::wstring> items;
    for (size_t n = in.Byte() % 16; n--;) items.push_back(in.Text());

    // A rebuild: the first whole-name match of either, else item 0.
    SubFolderPick pick;
    int expect = -1;
    for (size_t i = 0; i < items.size(); ++i) {
        AddListedSubFolder(&pick, items[i].c_str(), preferred[0], preferred[1]);
        for (const wchar_t* name : preferred)
            if (expect < 0 && name && FoldAsciiModel(items[i]) == FoldAsciiModel(name)) expect = static_cast<int>(i);
    }
    CONTRACT(PickedSubFolder(pick) == std::max(expect, 0));

    // A catalog change: each non-empty name in turn, from item 1 round to item 0.
    const int count = flags & 4 ? -static_cast<int>(in.Byte()) : static_cast<int>(items.size());
    std::vector<int> probes;
    int found = -1;
    for (const wchar_t* name : preferred) {
        if (found >= 0 || !name || !name[0]) continue;
        for (int step = 1; step <= count && found < 0; ++step) {
            probes.push_back(step % count);
            if (StartsWithFolded(items[step % count], name)) found = step % count;
        }
    }
    FakeList list{items, {}};
    CONTRACT(FindPreferredSubFolderItem(count, {&list, FakeList::StartsWith}, preferred[0], preferred[1]) == found);
    CONTRACT(list.probed == probes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    void (*const areas[])(FuzzInput&) = {Candidate, ListingPattern, Listed, Picks};
    areas[in.Byte() % (sizeof(areas) / sizeof(areas[0]))](in);
    return 0;
}
