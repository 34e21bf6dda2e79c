// Window handles passed between launcher processes on a command line, in
// decimal. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>

// 0 when empty, not decimal or too large.
uint64_t parseDecimalHandle(const std::wstring& text);
