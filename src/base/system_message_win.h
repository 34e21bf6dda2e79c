// The text Windows keeps for an error code, for logs and boxes.
#pragma once

#include "base/windows_win.h"

#include <cstdint>
#include <string>

// The message of `code` from the message table of `module` (may be null)
// and, with `systemTable`, from the system's own; without its line end.
// Empty when neither knows the code.
std::wstring systemMessageText(uint32_t code, HMODULE module, bool systemTable);
