#pragma once
// Folders and files that only this user may change. The work folder holds a program
// that Tallowick runs; if another user could place or alter files in it, or rename a
// folder on the way to it, running that program would hand them this account. So the
// folder is made with mode 0700, an existing folder or program is trusted only when it
// passes the checks below, and the program is checked and started through one
// descriptor, so that the file that passed the checks is the very file that runs.
#include <optional>
#include <string>

#include "base/UniqueFd.h"

// Makes the folder (with missing parents, each new one with mode 0700) unless it
// exists. Returns whether the folder is now private (IsPrivateFolder).
bool MakePrivateFolder(const std::string& path);

// A real directory (not a symbolic link), owned by this user, not writable by group or
// others, reached from the root through folders that no other user can rename or
// replace: each folder on the way belongs to this user or to root, and one that others
// may write into has the sticky bit (so that they cannot rename what is not theirs).
// Symbolic links above the folder are resolved first; the folder itself is never one.
bool IsPrivateFolder(const std::string& path);

// A program in a private folder, opened for running: the folder and the program, each
// opened without following symbolic links and checked through its own descriptor.
struct PrivateProgram {
    base::UniqueFd folder;
    base::UniqueFd program;
};

// Opens the program name in folder when the folder passes IsPrivateFolder and the
// program is a regular file (not a symbolic link) owned by this user, not writable by
// group or others and executable by its owner; nothing otherwise.
std::optional<PrivateProgram> OpenPrivateProgram(const std::string& folder, const std::string& name);
