#pragma once
// Writing the target file so that it is either the old file or the whole new one: the
// output goes to a new file in the target's folder that has no name until everything
// has been written and flushed to the disk, and then replaces the target in one step
// (see base/AtomicFileWriter.h). A run that fails or is killed leaves an existing
// target as it was and no temporary file; where the file system needs a named
// temporary file (".av-XXXXXX"), a failure or a signal that ends the program removes it.
#include "base/AtomicFileWriter.h"

#include <string>

namespace av {

class TargetFile {
public:
    using Method = base::AtomicFileWriter::Method;

    // Creates the new file. Throws ToolError when the folder cannot take it.
    explicit TargetFile(const std::string& target, Method method = Method::Unnamed);
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;

    int fd() const { return writer_.fd(); }
    const std::string& target() const { return writer_.target(); }
    // The named temporary file being written; empty while the file has no name.
    const std::string& temporaryPath() const { return writer_.temporaryPath(); }

    // The message for a failed write of errno: a full disk, a file too large for the
    // file system, or the error itself.
    std::string WriteFailure(int error) const;

    // Flushes the new file to the disk, gives it the target's permissions and puts it
    // in place of the target. Throws ToolError on failure (the new file is then
    // discarded when the object goes away).
    void Commit();

private:
    base::AtomicFileWriter writer_;
};

}  // namespace av
