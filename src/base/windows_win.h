// The launcher's one way to include <windows.h>. winbase.h defines
// GetFreeSpace as a function-like macro, which would rename
// CBuffer::GetFreeSpace in every file where a Windows header came first;
// the macro is removed here, so the order of includes no longer matters.
#pragma once

#include <windows.h>

#undef GetFreeSpace
