// Paths below the install folder come from the network: archive entry names
// and the manifest's file paths. Before anything is opened, written or
// deleted, such a path is turned into one canonical path relative to the
// install folder, or refused when Windows would read it as anything else: a
// place outside the folder, a device, a stream, or another file's name.
// One check for every source, so no source is trusted more. Pure; any thread.
#pragma once

#include <string>
#include <string_view>

enum EInstallPath {
    eInstallPath_Ok,
    eInstallPath_Empty,        // no name at all
    eInstallPath_Absolute,     // starts at a root ("\\x", "/x", "\\\\server\\x")
    eInstallPath_Drive,        // a ':' anywhere: "C:", "\\\\?\\", a stream "a:b"
    eInstallPath_Device,       // a step named CON, NUL, COM1, LPT1... (any extension)
    eInstallPath_ParentStep,   // a ".." step (or dots and blanks Windows reads as one)
    eInstallPath_EmptyStep,    // "a\\\\b", "a\\.\\b": a step that names no file
    eInstallPath_TrailingDot,  // a step ending in '.' or ' ', which Windows drops
    eInstallPath_BadCharacter, // a control character or one of < > " | ? *
};

enum class EPathKind {
    File,         // a trailing separator is an empty step
    FileOrFolder, // one trailing separator marks a folder (archive entries)
};

// Checks `name` (separators '\\' or '/') and writes the path to use below
// the install folder to `relative`: the same steps joined by '\\', without
// a folder's trailing separator. `relative` is cleared unless the result is
// eInstallPath_Ok.
EInstallPath checkInstallPath(std::wstring_view name, EPathKind kind, std::wstring& relative);

// The reason for the log and the status text, e.g. "a '..' step".
const wchar_t* installPathProblem(EInstallPath verdict);
