#pragma once
// Package bytes for tests: real members made with the pack tool's writer, and raw headers for
// the hostile and damaged cases no writer would produce.

#include <cstdint>
#include <string>

// A 268-byte member header; name bytes are copied as given (up to 260, no terminator added
// beyond the field).
std::string RawHeader(const std::string& name, uint32_t dataSize);

// One member (header and zip) of content under name, as mkpak writes it.
std::string MemberBytes(const std::string& name, const std::string& content, int level = 6);

// A one-file zip archive of content, as it stands inside a member.
std::string ZipBytes(const std::string& content, int level = 6);

// Offsets in a one-file zip made by ZipBytes (local header, then data, then central directory).
constexpr size_t kZipLocalFlags = 6;
constexpr size_t kZipLocalMethod = 8;
constexpr size_t kZipLocalCrc = 14;
constexpr size_t kZipLocalNameLength = 26;
constexpr size_t kZipLocalHeaderSize = 30;
// Where the member's data starts in a ZipBytes archive.
size_t ZipDataOffset(const std::string& zip);
// The central directory entry's offset in a ZipBytes archive.
size_t ZipCentralOffset(const std::string& zip);
