// The "FileVersion" text of a PE image, as the system's version functions
// give it: the version resource with id 1 in the language the resource
// loader chooses, its block read from its start, the text through the first
// translation. Read through a caller's reader; every length in the image and
// the block is hostile and bounded. Portable.
#pragma once
#include <cstddef>
#include <cstdint>

#include "common/pe_image_logic.h"

// The languages the resource loader tries, in order, for a user whose UI
// language is `uiLanguage`: neutral, that language, its primary language
// alone, US English. Then the first language the resource has.
constexpr size_t kResourceLanguageCount = 4;
void ResourceLanguageOrder(uint16_t uiLanguage, uint16_t (&languages)[kResourceLanguageCount]);

// The version resource (type 16, id 1) in the first of `languages` it has,
// else its first language, found as the loader finds an id: by binary search
// among a directory's id entries. Its file offset and size; false when there
// is none or it lies outside the file. Each directory costs a few reads
// whatever its count.
bool FindVersionResource(const ImageReader& image, const uint16_t* languages, size_t languageCount,
                         uint64_t* offset, uint32_t* size);

// The version sub-block name for a translation, e.g. \StringFileInfo\080404b0\FileVersion.
void VersionSubBlockName(unsigned language, unsigned codePage, wchar_t* out, size_t size);

// The "FileVersion" string of a version resource as an image stores it
// (VS_VERSIONINFO), found through its first translation as VerQueryValueW
// finds a sub-block (names without regard to ASCII case): the text up to its
// terminator, whatever the node's type and value length say, but never past
// its node; cut to fit `outSize`. False when the block has no translation or
// no such string.
bool VersionTextFromResource(const uint8_t* block, size_t size, wchar_t* out, size_t outSize);

// A version block never exceeds its root's 16-bit length.
constexpr size_t kVersionBlockSize = 0xffff;

// The resource found and its block read into `block` (kVersionBlockSize
// bytes) from its start, however large the resource or however much longer
// its root says it is (what it lacks reads as zeros, as in the zero-filled
// block of the system's reader); `*length` is the block's length.
bool ReadVersionBlock(const ImageReader& image, const uint16_t* languages, size_t languageCount, uint8_t* block,
                      size_t* length);

// The numeric file version of the fixed part (VS_FIXEDFILEINFO), most
// significant word first. False when the block has none.
bool FixedVersionFromResource(const uint8_t* block, size_t size, uint64_t* version);

// Both steps: the resource found, its block read into `block`
// (kVersionBlockSize bytes) from its start, however large the resource or
// however much longer its root says it is (what it lacks reads as zeros, as
// in the zero-filled block of the system's reader), and its text.
bool ReadVersionText(const ImageReader& image, const uint16_t* languages, size_t languageCount, uint8_t* block,
                     wchar_t* out, size_t outSize);
