#pragma once
// Writing the target file so that it is either the old file or the whole new one:
// the output goes to a new temporary file in the target's folder, which replaces the
// target (by rename, in one step) only once everything has been written and flushed
// to the disk. A run that fails, or is stopped by SIGINT, SIGTERM or SIGHUP, removes
// the temporary file and leaves an existing target as it was.
#include <string>

namespace av {

class TargetFile {
public:
    // Creates the temporary file. Throws ToolError when the folder cannot take it.
    explicit TargetFile(const std::string& target);
    ~TargetFile();
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    int fd() const { return fd_; }
    const std::string& target() const { return target_; }
    const std::string& temporaryPath() const { return temporary_; }

    // The message for a failed write of errno: a full disk, or the error itself.
    std::string WriteFailure(int error) const;

    // Flushes the temporary file to the disk, gives it the target's permissions and
    // renames it over the target. Throws ToolError on failure (the temporary file is
    // then removed by the destructor).
    void Commit();

private:
    std::string target_;
    std::string folder_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace av
