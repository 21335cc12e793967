#pragma once
// Folders and files that only this user may change. The work folder holds a program
// that Tallowick runs; if another user could place or alter files in it, running that
// program would hand them this account. So the folder is made with mode 0700, and an
// existing folder or program is trusted only when it passes the checks below.
#include <string>

// Makes the folder (with missing parents, each new one with mode 0700) unless it
// exists. Returns whether the folder is now private (IsPrivateFolder).
bool MakePrivateFolder(const std::string& path);

// A real directory (not a symbolic link), owned by this user, not writable by group or others.
bool IsPrivateFolder(const std::string& path);

// A regular file (not a symbolic link) owned by this user, not writable by group or
// others, executable by its owner, in a folder that passes IsPrivateFolder.
bool IsPrivateExecutable(const std::string& path);
