// The version of an executable file as the run log, the window caption and
// the User-Agent show it. Any thread.
#pragma once

#include <string>

// "%d.%d.%d.%d" from the file's fixed version block (major and minor of the
// most significant word, then of the least significant one); empty when the
// file has no version block or cannot be read.
std::string getFileVersion(const std::wstring& modulePath);
