// The stamped slots as the running launcher reads them from its resources.
#pragma once

#include "base/windows_win.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The bytes of a slot resource of `module` (the own executable when null);
// nullopt when the resource is missing.
std::optional<std::basic_string_view<uint8_t>> getStampResource(const char* type, int id,
                                                                HMODULE module = nullptr);

std::string readStampValue(const char* type, int id, HMODULE module = nullptr);
std::vector<std::string> readStampList(const char* type, int id, HMODULE module = nullptr);

// The launcher checksum of `image` (or, when null, of the own executable
// file, read with retries while another process holds it). Slot sizes come
// from the running module. Returns ERROR_SUCCESS or the system error and
// leaves `crc` untouched on failure.
DWORD computeLauncherCrc(const uint8_t* image, size_t length, int variant, uint32_t& crc);
