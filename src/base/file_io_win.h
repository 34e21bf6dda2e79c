// Whole-file helpers over CFile.
#pragma once

#include "base/windows_win.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file (shared for reading). Returns ERROR_SUCCESS or the
// system error; files over 1 GiB are refused with ERROR_FILE_TOO_LARGE.
DWORD readWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes);

// Creates the file anew and writes `bytes` in one call.
DWORD writeWholeFile(const std::wstring& path, const void* bytes, DWORD count);

bool fileExists(const std::wstring& path);

// The running executable's full path.
std::wstring ownModulePath();

// The folder part of a path (without the trailing "\"), and the name part.
std::wstring folderOfPath(const std::wstring& path);
std::wstring fileNameOfPath(const std::wstring& path);
