// What the fuzz targets share: call arguments read from the fuzzer's bytes,
// output buffers sized exactly, and the bounded writers' contract.
#pragma once
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

// A broken contract aborts, so libFuzzer keeps the input that showed it.
#define CONTRACT(condition)                                                                        \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken contract: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Reads the bytes in order; zeros once they run out.
class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, size_t size) : next_(data), end_(data + size) {}

    uint8_t Byte() { return next_ < end_ ? *next_++ : 0; }
    uint64_t Bytes(int count) {
        uint64_t value = 0;
        for (int i = 0; i < count; ++i) value |= uint64_t{Byte()} << (8 * i);
        return value;
    }
    // Mostly small, so sizes around the texts' lengths come up often, and
    // below 1024, so buffers stay cheap.
    size_t Size() {
        uint8_t b = Byte();
        return b < 0xF0 ? b : Bytes(2) % 1024;
    }
    // Small, at an edge of int or long, or anything.
    int64_t Number() {
        static const int64_t edges[] = {0, 1, -1, INT32_MAX, INT32_MIN, int64_t{INT32_MAX} + 1, UINT32_MAX,
                                        INT64_MAX, INT64_MIN};
        switch (Byte() % 4) {
        case 0: return static_cast<int8_t>(Byte());
        case 1: return edges[Byte() % (sizeof(edges) / sizeof(edges[0]))];
        case 2: return static_cast<int32_t>(Bytes(4));
        default: return static_cast<int64_t>(Bytes(8));
        }
    }
    // Up to the next zero byte. ASCII bytes stand for themselves, so the
    // fuzzer's comparison hints find separators and placeholders; the rest
    // stand for Latin-1 letters (which must not fold) and CJK characters.
    std::wstring Text() {
        std::wstring text;
        for (uint8_t b; (b = Byte()) != 0;) text += static_cast<wchar_t>(b < 0xF0 ? b : 0x589E + (b - 0xF0));
        return text;
    }

  private:
    const uint8_t* next_;
    const uint8_t* end_;
};

// No input text holds it, so an unterminated result shows.
constexpr wchar_t kSentinel = 0xFDD0;

// Exactly `size` characters on the heap, so AddressSanitizer catches a write
// one past the end, even when `size` is 0. It may start with a text, which is
// left unterminated when it does not fit.
class OutBuffer {
  public:
    explicit OutBuffer(size_t size, const std::wstring& start = L"") : size_(size), data_(new wchar_t[size]) {
        std::fill_n(data_.get(), size, kSentinel);
        size_t copied = start.copy(data_.get(), size);
        if (copied < size) data_[copied] = 0;
        before_.assign(data_.get(), size);
    }
    wchar_t* data() { return data_.get(); }
    size_t size() const { return size_; }
    bool Unchanged() const { return before_.compare(0, size_, data_.get(), size_) == 0; }
    // The text, which must be terminated inside the buffer.
    std::wstring Text() const {
        const wchar_t* text = data_.get();
        const wchar_t* end = std::find(text, text + size_, L'\0');
        CONTRACT(end != text + size_);
        return std::wstring(text, end);
    }

  private:
    size_t size_;
    std::unique_ptr<wchar_t[]> data_;
    std::wstring before_;
};

// A bounded writer succeeds exactly when `full` fits with its terminator, and
// then holds it. A failed one leaves anything it wrote terminated; one that
// cuts to fit holds the start of `full`.
inline void CheckResult(const OutBuffer& out, bool ok, const std::wstring& full, bool cutsToFit) {
    CONTRACT(ok == (full.size() < out.size()));
    if (ok)
        CONTRACT(out.Text() == full);
    else if (cutsToFit && out.size())
        CONTRACT(out.Text() == full.substr(0, out.size() - 1));
    else if (!out.Unchanged())
        out.Text();
}

// The shell's roots as wide_text.h describes them, X being any character.
inline bool IsRootModel(const std::wstring& path) {
    if (path == L"\\") return true;
    if (path.size() == 3 && path[0] != L'\\' && path[1] == L':' && path[2] == L'\\') return true;
    return path.compare(0, 2, L"\\\\") == 0 && std::count(path.begin() + 2, path.end(), L'\\') <= 1;
}

// One trailing backslash removed unless the path is a root.
inline std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\' && !IsRootModel(path)) path.pop_back();
    return path;
}

// A backslash added to a non-empty path that lacks one.
inline std::wstring WithTrailingBackslash(const std::wstring& path) {
    return path.empty() || path.back() == L'\\' ? path : path + L'\\';
}

inline std::wstring FoldAsciiModel(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}
