// Whole-file reads and writes for the tool's commands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// False with a message in `error` when the file cannot be read.
bool readImageFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

// Writes through a temporary file beside `path` and renames it, so a failed
// write never leaves a half-written copy under the final name.
bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
