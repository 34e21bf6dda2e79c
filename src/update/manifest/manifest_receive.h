// The manifest as it travels: "update.rxml" is an archive holding one member,
// "update.xml". And the text side of keeping it in the install folder. Pure;
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr const char* kManifestMember = "update.xml";

// The bytes of "update.xml" from an "update.rxml" body: a RAR archive when the
// body is longer than 3 bytes and starts with "Rar!", a zip archive otherwise.
// False with `error` for a broken archive or one without that member.
bool extractManifestText(const uint8_t* body, size_t size, std::string& text, std::string& error);

// Whether saveManifest writes: a real install folder (at least 4 characters,
// "C:\x") and a manifest to write.
bool shouldSaveManifest(const std::wstring& installFolder, const std::string& manifestText);
