// Archive entry names come from the network: before anything is written, a
// name is turned into a path relative to the install folder, or refused when
// it could reach anything outside that folder. Pure; any thread.
#pragma once

#include <string>

enum EEntryPath {
    eEntryPath_Ok,
    eEntryPath_Empty,        // nothing left after the separators
    eEntryPath_Absolute,     // starts at a root ("\\x", "/x", "\\\\server\\x")
    eEntryPath_Drive,        // a ':' anywhere: "C:", "\\\\?\\", a stream "a:b"
    eEntryPath_Device,       // a step named CON, NUL, COM1, LPT1... (any extension)
    eEntryPath_ParentStep,   // a ".." step (or dots and blanks Windows reads as one)
    eEntryPath_BadCharacter, // a control character or one of < > " | ? *
};

// Checks `name` (separators '\\' or '/'; a trailing one marks a folder) and
// writes the path to use below the install folder to `relative`: steps joined
// by '\\', "." steps and doubled separators dropped, no trailing separator.
// `relative` is cleared unless the result is eEntryPath_Ok.
EEntryPath checkEntryPath(const std::wstring& name, std::wstring& relative);

// The reason for the log and the status text, e.g. "a '..' step".
const wchar_t* entryPathProblem(EEntryPath verdict);
