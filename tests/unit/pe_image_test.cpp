#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/machine_names_logic.h"
#include "common/pe_image_logic.h"
#include "common/version_resource_logic.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) { b[at] = v & 0xff, b[at + 1] = (v >> 8) & 0xff; }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { Put16(b, at, v & 0xffff), Put16(b, at + 2, v >> 16); }

// An image laid out as the linkers lay theirs: MZ header with e_lfanew 0x80,
// file header, optional header with 16 directories, one .rsrc section at
// RVA 0x2000, file offset 0x400, holding type 16 / name 1 / language 0x804
// and 0x40 bytes of data.
std::vector<uint8_t> Image(uint16_t machine, bool is64, bool dll, bool withVersion = true, bool namedFirst = false) {
    std::vector<uint8_t> b(0x400 + 0x200, 0);
    b[0] = 'M', b[1] = 'Z';
    Put32(b, 0x3c, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    Put16(b, 0x84, machine);
    Put16(b, 0x86, 1);                         // sections
    const uint16_t optionalSize = is64 ? 0xf0 : 0xe0;
    Put16(b, 0x94, optionalSize);
    Put16(b, 0x96, 0x0102 | (dll ? 0x2000 : 0));  // executable, 32-bit machine, DLL
    const size_t opt = 0x98;
    Put16(b, opt, is64 ? 0x20b : 0x10b);
    const size_t dirs = opt + (is64 ? 112 : 96);
    Put32(b, dirs - 4, 16);
    if (withVersion) Put32(b, dirs + 2 * 8, 0x2000), Put32(b, dirs + 2 * 8 + 4, 0x100);
    const size_t section = opt + optionalSize;
    std::memcpy(&b[section], ".rsrc\0\0\0", 8);
    Put32(b, section + 8, 0x100), Put32(b, section + 12, 0x2000);
    Put32(b, section + 16, 0x200), Put32(b, section + 20, 0x400);
    const size_t r = 0x400;
    // Root: optionally a named type first (an icon group named "X"), then type 16.
    const uint32_t t = namedFirst ? 0x20 : 0x18;
    Put16(b, r + 12, namedFirst ? 1 : 0), Put16(b, r + 14, 1);
    if (namedFirst) Put32(b, r + 16, 0x800000f0), Put32(b, r + 20, 0x80000000 | t);
    Put32(b, t - 8 + r, 16), Put32(b, t - 4 + r, 0x80000000 | t);
    Put16(b, r + t + 14, 2), Put32(b, r + t + 16, 1), Put32(b, r + t + 20, 0x80000000 | (t + 0x28));  // names 1, 2
    Put32(b, r + t + 24, 2), Put32(b, r + t + 28, 0x80000000);
    Put16(b, r + t + 0x28 + 14, 1), Put32(b, r + t + 0x38, 0x804), Put32(b, r + t + 0x3c, t + 0x40);  // language
    Put32(b, r + t + 0x40, 0x2080), Put32(b, r + t + 0x44, 0x40);  // data entry
    return b;
}

bool Info(const std::vector<uint8_t>& bytes, PeImageInfo* info) {
    MemoryImage memory{bytes.data(), bytes.size()};
    return ReadPeImageInfo(MemoryImageReader(&memory), info);
}

bool Version(const std::vector<uint8_t>& bytes, uint64_t* offset, uint32_t* size) {
    MemoryImage memory{bytes.data(), bytes.size()};
    return FindVersionResource(MemoryImageReader(&memory), nullptr, 0, offset, size);
}

}  // namespace

TEST(PeImage, ReadsMachineKindAndWidth) {
    struct Case { uint16_t machine; bool is64, dll; } const cases[] = {
        {0x14c, false, true}, {0x8664, true, true}, {0xaa64, true, false}, {0x1c4, false, false}};
    for (const Case& c : cases) {
        PeImageInfo info{};
        ASSERT_TRUE(Info(Image(c.machine, c.is64, c.dll), &info));
        EXPECT_EQ(info.machine, c.machine);
        EXPECT_EQ(info.is64, c.is64);
        EXPECT_EQ(info.isDll, c.dll);
    }
}

TEST(PeImage, RefusesWhatIsNoImage) {
    std::vector<uint8_t> good = Image(0x14c, false, true);
    auto with = [&](size_t at, uint8_t value) { auto b = good; b[at] = value; return b; };
    const std::vector<uint8_t> cases[] = {
        {},                                                    // empty
        std::vector<uint8_t>(good.begin(), good.begin() + 2),  // MZ alone
        std::vector<uint8_t>(good.begin(), good.begin() + 0x84),   // cut in the signature
        std::vector<uint8_t>(good.begin(), good.begin() + 0xa0),   // cut in the optional header
        std::vector<uint8_t>(good.begin(), good.begin() + 0x190),  // cut in the section table
        with(0, 'Z'),                                          // not MZ
        with(0x81, 'X'),                                       // not PE
        with(0x98, 0x0c),                                      // neither PE32 nor PE32+
        with(0x3f, 0x80),                                      // e_lfanew far past the end
        with(0x87, 0x01),                                      // 257 sections
    };
    for (const auto& bytes : cases) {
        PeImageInfo info{};
        EXPECT_FALSE(Info(bytes, &info)) << bytes.size();
        uint64_t offset;
        uint32_t size;
        EXPECT_FALSE(Version(bytes, &offset, &size)) << bytes.size();
    }
}

TEST(PeImage, FindsTheVersionResourceWithId1) {
    for (bool is64 : {false, true}) {
        uint64_t offset = 0;
        uint32_t size = 0;
        ASSERT_TRUE(Version(Image(is64 ? 0x8664 : 0x14c, is64, true), &offset, &size));
        EXPECT_EQ(offset, 0x480u);
        EXPECT_EQ(size, 0x40u);
    }
    const size_t r = 0x400;
    auto changed = [&](size_t at, uint32_t value) {
        auto b = Image(0x14c, false, true);
        if (at == 0x450) b.resize(at);
        else Put32(b, at, value);
        return b;
    };
    const std::vector<uint8_t> none[] = {
        Image(0x14c, false, true, false),     // no resource directory
        changed(r + 16, 3),                   // icons only
        changed(r + 20, 0x18),                // type 16 names a data entry, not a directory
        changed(r + 0x54, 0x80000040),        // a language that loops back to a directory
        changed(r + 0x2c, 0x80000000),        // names that point back at the types
        changed(r + 0x58, 0x21f0),            // data running past the section's raw bytes
        changed(r + 0x5c, 0xffffffff),
        changed(r + 0x2c, 0x8ffffff0),        // a directory far outside
        changed(0x450, 0),  // cut before the data entry
    };
    for (const auto& bytes : none) {
        uint64_t offset;
        uint32_t size;
        EXPECT_FALSE(Version(bytes, &offset, &size));
    }
    // A named type before the version type, and a second name: still id 1.
    uint64_t offset = 0;
    uint32_t size = 0;
    ASSERT_TRUE(Version(Image(0x14c, false, true, true, true), &offset, &size));
    EXPECT_EQ(offset, 0x480u);
}

namespace {

// The first KiB of real images (tests/fixtures/pe): the sample plug-in as
// mingw-w64 builds it for x86 and for x64, and an ARM64 program.
std::vector<uint8_t> Fixture(const char* name) {
    std::ifstream file(std::string(CORVANE_FIXTURES "/pe/") + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The ARM64 program's head with its load configuration where its sections
// put it. An ARM64X linker sets the CHPE metadata pointer; `configSize` is
// the configuration's own Size field.
std::vector<uint8_t> Arm64(uint64_t chpe, uint32_t configSize = 0x138) {
    const size_t at = 0x20110;
    std::vector<uint8_t> b = Fixture("arm64.head"), config = Fixture("arm64.loadconfig");
    b.resize(at);
    b.insert(b.end(), config.begin(), config.end());
    Put32(b, at, configSize);
    Put32(b, at + kChpeMetadataAt, static_cast<uint32_t>(chpe)), Put32(b, at + kChpeMetadataAt + 4, chpe >> 32);
    return b;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t size) { return b.resize(size), b; }

}  // namespace

TEST(PeImage, MachineTypesOfRealHeaders) {
    ASSERT_EQ(Fixture("x86.head").size(), 1024u);
    struct Case { const char* what; std::vector<uint8_t> bytes; uint16_t machine; bool arm64x; const wchar_t* name; };
    const Case cases[] = {
        {"x86", Fixture("x86.head"), kMachineX86, false, L"32 位 (x86)"},
        {"x64", Fixture("x64.head"), kMachineX64, false, L"64 位 (x64)"},
        {"ARM64", Arm64(0), kMachineArm64, false, L"ARM64"},
        {"ARM64X", Arm64(0x140021000), kMachineArm64, true, L"ARM64X"},
        {"configuration too short for the pointer", Arm64(0x140021000, kChpeMetadataAt), kMachineArm64, false, L"ARM64"},
        {"ARM64X cut in its configuration", Cut(Arm64(1), 0x20110 + kChpeMetadataAt), kMachineArm64, false, L"ARM64"},
        {"text", {'[', 'A', ']', '\n'}, 0, false, nullptr},  // not read
        {"x64 cut in the optional header", Cut(Fixture("x64.head"), 0x100), 0, false, nullptr},
    };
    for (const Case& c : cases) {
        MemoryImage memory{c.bytes.data(), c.bytes.size()};
        ImageMachine machine{};
        wchar_t name[32] = L"";
        ASSERT_EQ(ReadImageMachine(MemoryImageReader(&memory), &machine), c.name != nullptr) << c.what;
        if (!c.name) continue;
        EXPECT_TRUE(machine.machine == c.machine && machine.arm64x == c.arm64x) << c.what;
        EXPECT_TRUE(FormatMachineName(machine, name, 32));
        EXPECT_EQ(std::wstring(name), c.name) << c.what;
    }
}

TEST(PeImage, PlugInFitsAnEditorOfItsMachine) {
    const ImageMachine x86{kMachineX86, false}, x64{kMachineX64, false}, arm64{kMachineArm64, false},
        arm64x{kMachineArm64, true}, arm{0x1c4, false};
    const ImageMachine editors[] = {x86, x64, arm64, arm64x};
    struct Row { ImageMachine plugIn; bool fits[4]; } const rows[] = {
        {x86, {true, false, false, false}},  {x64, {false, true, false, false}}, {arm64, {false, false, true, true}},
        {arm64x, {false, true, true, true}}, {arm, {false, false, false, false}},
    };
    for (const Row& row : rows)
        for (int e = 0; e < 4; ++e)
            EXPECT_EQ(PlugInFitsEditor(row.plugIn, editors[e]), row.fits[e]) << row.plugIn.machine << " in " << e;
    wchar_t name[16];
    EXPECT_TRUE(FormatMachineName(arm, name, 16));
    EXPECT_EQ(std::wstring(name), L"机器类型 0x01c4");
    EXPECT_FALSE(FormatMachineName(x86, name, 4));
    EXPECT_EQ(std::wstring(name), L"32 ");
}

TEST(VersionResource, SubBlockNameUsesFourLowerCaseHexDigitsEach) {
    wchar_t out[64];
    VersionSubBlockName(0x0804, 0x04b0, out, 64);
    EXPECT_EQ(std::wstring(out), L"\\StringFileInfo\\080404b0\\FileVersion");
    VersionSubBlockName(0x10409, 0xFFFF04E4, out, 64);  // 16 bits each
    EXPECT_EQ(std::wstring(out), L"\\StringFileInfo\\040904e4\\FileVersion");
}

namespace {

// A VS_VERSIONINFO node: key, value (text in characters or bytes), children.
std::vector<uint8_t> Node(const std::u16string& key, const std::vector<uint8_t>& value, bool text,
                          const std::vector<std::vector<uint8_t>>& children = {}) {
    std::vector<uint8_t> b(6);
    for (char16_t c : key + u'\0') b.push_back(c & 0xff), b.push_back(c >> 8);
    b.resize((b.size() + 3) & ~size_t{3});
    b.insert(b.end(), value.begin(), value.end());
    for (const auto& child : children) {
        b.resize((b.size() + 3) & ~size_t{3});
        b.insert(b.end(), child.begin(), child.end());
    }
    const size_t valueLength = text ? value.size() / 2 : value.size();
    b[0] = b.size() & 0xff, b[1] = b.size() >> 8, b[2] = valueLength & 0xff, b[3] = valueLength >> 8, b[4] = text;
    return b;
}

std::vector<uint8_t> Text(const std::u16string& text) {
    std::vector<uint8_t> b;
    for (char16_t c : text + u'\0') b.push_back(c & 0xff), b.push_back(c >> 8);
    return b;
}

std::vector<uint8_t> Resource(const std::u16string& table, const std::vector<uint8_t>& translation,
                              const std::vector<uint8_t>& fileVersion = Node(u"FileVersion", Text(u"2.1.0.7"), true)) {
    return Node(u"VS_VERSION_INFO", std::vector<uint8_t>(52, 0), false,
                {Node(u"StringFileInfo", {}, true,
                      {Node(table, {}, true, {Node(u"CompanyName", Text(u"Corvane"), true), fileVersion})}),
                 Node(u"VarFileInfo", {}, true, {Node(u"Translation", translation, false)})});
}

// A 64-bit image whose one section holds the resources, each directory's
// entries in the order given; names from 0x80000000 up are strings.
struct Res { uint32_t type, name, language; std::vector<uint8_t> data; };
std::vector<uint8_t> ImageOf(const std::vector<Res>& resources) {
    std::vector<uint8_t> s;
    auto directory = [&](auto& self, size_t from, size_t to, int depth) -> uint32_t {
        auto key = [&](size_t i) { return depth == 0 ? resources[i].type : depth == 1 ? resources[i].name : resources[i].language; };
        std::vector<size_t> starts;  // where each entry's group begins
        for (size_t i = from; i < to; ++i) if (i == from || key(i) != key(i - 1)) starts.push_back(i);
        const size_t at = s.size(), named = std::count_if(starts.begin(), starts.end(), [&](size_t i) { return key(i) >> 31; });
        s.resize(at + 16 + 8 * starts.size());
        Put16(s, at + 12, named), Put16(s, at + 14, starts.size() - named);
        for (size_t k = 0; k < starts.size(); ++k) {
            uint32_t target = s.size();
            if (depth < 2) target = 0x80000000 | self(self, starts[k], k + 1 < starts.size() ? starts[k + 1] : to, depth + 1);
            else s.resize(target + 16), Put32(s, target, 0x2000 + s.size()), Put32(s, target + 4, resources[starts[k]].data.size()),
                 s.insert(s.end(), resources[starts[k]].data.begin(), resources[starts[k]].data.end());
            Put32(s, at + 16 + 8 * k, key(starts[k])), Put32(s, at + 20 + 8 * k, target);
        }
        return static_cast<uint32_t>(at);
    };
    directory(directory, 0, resources.size(), 0);
    std::vector<uint8_t> b = Image(0x8664, true, true, false);  // then the section's bytes
    b.resize(0x400), b.insert(b.end(), s.begin(), s.end());
    return Put32(b, 0x118, 0x2000), Put32(b, 0x11c, s.size()), Put32(b, 0x190, s.size()), Put32(b, 0x198, s.size()), b;
}

std::vector<uint8_t> V(const std::u16string& t) { return Resource(u"040904b0", {9, 4, 0xb0, 4}, Node(u"FileVersion", Text(t), true)); }
std::vector<uint8_t> With(std::vector<uint8_t> b, size_t at, uint32_t value) { return Put16(b, at, value), b; }
std::vector<uint8_t> Padded(std::vector<uint8_t> b, size_t size) { return b.resize(size), b; }

}  // namespace

TEST(VersionResource, TextThroughTheFirstTranslation) {
    const std::vector<uint8_t> zh = {0x04, 0x08, 0xb0, 0x04}, en = {0x09, 0x04, 0xb0, 0x04};
    auto read = [](const std::vector<uint8_t>& block, size_t outSize = 128) {
        std::vector<wchar_t> out(outSize, L'#');
        return VersionTextFromResource(block.data(), block.size(), out.data(), outSize) ? std::wstring(out.data())
                                                                                         : L"none";
    };
    EXPECT_EQ(read(Resource(u"080404b0", zh)), L"2.1.0.7");
    EXPECT_EQ(read(Resource(u"080404B0", zh)), L"2.1.0.7");  // names without regard to case
    std::vector<uint8_t> two = zh;
    two.insert(two.end(), en.begin(), en.end());
    EXPECT_EQ(read(Resource(u"080404b0", two)), L"2.1.0.7");
    EXPECT_EQ(read(Resource(u"040904b0", two)), L"none");  // only the first translation
    EXPECT_EQ(read(Resource(u"080404b0", {})), L"none");
    EXPECT_EQ(read(Resource(u"080404b0", zh), 4), L"2.1");
    const std::vector<uint8_t> whole = Resource(u"080404b0", zh);
    for (size_t cut : {size_t{0}, size_t{5}, whole.size() / 2, whole.size() - 1}) {
        std::vector<uint8_t> shorter(whole.begin(), whole.begin() + cut);
        EXPECT_EQ(read(shorter), L"none") << cut;  // the root's length runs past the block
    }
    std::vector<uint8_t> lying = whole;
    lying[2] = 0xff, lying[3] = 0xff;  // a value length far past its node
    EXPECT_EQ(read(lying), L"none");
}

// What version.dll gave under Wine 8 (GetFileVersionInfoW, VerQueryValueW)
// for the same crafted files, the user's language English or Chinese.
TEST(VersionResource, ChosenAndReadAsTheSystemDoes) {
    struct Row { const char* what; std::vector<Res> resources; uint16_t user; const wchar_t* text; } const rows[] = {
        {"only an id 102", {{16, 102, 0x409, V(u"1.0.2.0")}}, 0x409, L"none"},
        {"a named one before id 1", {{16, 0x80000000, 0x409, V(u"9.9")}, {16, 1, 0x409, V(u"1.0.0.1")}}, 0x409, L"1.0.0.1"},
        {"ids out of order: the search misses 1", {{16, 3, 0x409, V(u"3.3")}, {16, 1, 0x409, V(u"1.0")}}, 0x409, L"none"},
        {"English user", {{16, 1, 0x409, V(u"en")}, {16, 1, 0x804, V(u"zh")}}, 0x409, L"en"},
        {"Chinese user", {{16, 1, 0x409, V(u"en")}, {16, 1, 0x804, V(u"zh")}}, 0x804, L"zh"},
        {"neutral first", {{16, 1, 0, V(u"neutral")}, {16, 1, 0x804, V(u"zh")}}, 0x804, L"neutral"},
        {"the user's language alone", {{16, 1, 0x7, V(u"de")}, {16, 1, 0x9, V(u"en")}}, 0x409, L"en"},
        {"US English before the first", {{16, 1, 0x407, V(u"de")}, {16, 1, 0x409, V(u"en")}}, 0x804, L"en"},
        {"else the first", {{16, 1, 0x407, V(u"de")}, {16, 1, 0xc04, V(u"hk")}}, 0x804, L"de"},
        {"a resource over 64 KiB", {{16, 1, 0x409, Padded(V(u"6.5.5.36"), 70000)}}, 0x409, L"6.5.5.36"},
        {"a root 8 bytes past the resource", {{16, 1, 0x409, With(V(u"1.0.0.8"), 0, V(u"1.0.0.8").size() + 8)}}, 0x409, L"1.0.0.8"},
        {"type 0, length in characters", {{16, 1, 0x409, Resource(u"040904b0", {9, 4, 0xb0, 4}, With(With(Node(u"FileVersion", Text(u"1.2.3.4"), true), 4, 0), 2, 8))}}, 0x409, L"1.2.3.4"},
        {"a length shorter than the text", {{16, 1, 0x409, Resource(u"040904b0", {9, 4, 0xb0, 4}, With(Node(u"FileVersion", Text(u"1.2.3.4"), true), 2, 3))}}, 0x409, L"1.2.3.4"},
        {"no value: not the next node", {{16, 1, 0x409, Resource(u"040904b0", {9, 4, 0xb0, 4}, Node(u"FileVersion", {}, true))}}, 0x409, L""},
    };
    std::vector<uint8_t> block(kVersionBlockSize);
    uint16_t languages[kResourceLanguageCount];
    wchar_t text[128];
    for (const Row& row : rows) {
        const std::vector<uint8_t> image = ImageOf(row.resources);
        const MemoryImage memory{image.data(), image.size()};
        ResourceLanguageOrder(row.user, languages);
        const bool read = ReadVersionText(MemoryImageReader(&memory), languages, kResourceLanguageCount, block.data(), text, 128);
        EXPECT_EQ(read ? std::wstring(text) : L"none", row.text) << row.what;
    }
}
