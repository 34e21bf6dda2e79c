// File and text helpers shared by the two log writers. Every call takes a
// handle the caller owns (a CFile); none of them closes it.
#pragma once

#include "base/windows_win.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Writes all bytes at the file pointer, in pieces WriteFile can count.
bool writeAllBytes(HANDLE file, const void* bytes, size_t count);

// Reads up to `count` bytes at `offset`; returns how many came back (0 on an
// error). Moves the file pointer.
size_t readBytesAt(HANDLE file, uint64_t offset, void* dest, size_t count);

// Overwrites bytes at `offset`. Moves the file pointer.
bool writeBytesAt(HANDLE file, uint64_t offset, const void* bytes, size_t count);

bool seekToEnd(HANDLE file);

std::optional<uint64_t> fileSizeOf(HANDLE file);

// UTF-16 text as UTF-8 (unpaired surrogates become U+FFFD); nothing when the
// text is too long for the conversion call.
std::optional<std::string> utf8FromWide(const wchar_t* text, size_t length);

// Text in code page `codePage` as UTF-16; empty when it cannot be converted.
std::wstring wideFromCodePage(unsigned codePage, const std::string& text);
// A narrow path in the ANSI code page, for the wide file API.
std::wstring wideFromAnsi(const std::string& text);
