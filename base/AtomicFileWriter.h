#pragma once
// Writing a file so that its name always shows either the earlier file or the whole
// new one, and no half-written file is ever left behind.
//
// The new file is made without a name (O_TMPFILE) in the target's folder, written and
// flushed to the disk; only then is it given a hidden temporary name (linkat) that is
// at once renamed over the target (linkat cannot replace an existing name). A run that
// is killed before that leaves nothing at all. Where the file system cannot make a
// file without a name, a hidden named temporary file (mkostemp) stands in for it; that
// one is removed on failure and, when asked for, by a signal that ends the program.
#include <cstddef>
#include <string>
#include <sys/types.h>

#include "base/UniqueFd.h"

namespace base {

class AtomicFileWriter {
public:
    enum class Method {
        Unnamed,          // no name until complete, or a named temporary file where unsupported
        NamedTemporary,   // always a named temporary file
    };

    struct Options {
        // How the hidden temporary name begins; empty: "." + the target's file name + "-".
        std::string temporaryPrefix;
        Method method = Method::Unnamed;
        // Whether a signal that ends the program removes a named temporary file.
        bool removeOnSignal = false;
        // Whether Flush waits until the file has reached the disk. A file that is written
        // anew before every use need not: after a crash it is written again before it is
        // used, and until then every reader sees the whole file.
        bool syncToDisk = true;
    };

    explicit AtomicFileWriter(std::string target);
    AtomicFileWriter(std::string target, Options options);
    // A file that has not replaced the target is discarded.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the new file in the target's folder. Returns 0, or the errno of the failure.
    int Open();

    int fd() const { return fd_.get(); }
    const std::string& target() const { return target_; }
    const std::string& folder() const { return folder_; }
    // The named temporary file being written; empty while the file has no name.
    const std::string& temporaryPath() const { return temporary_; }

    // Writes all of the bytes at the current position. Returns 0 or the errno.
    int Write(const void* data, std::size_t size);

    // Gives the file its permissions and flushes it to the disk (see syncToDisk). Returns 0
    // or the errno.
    int Flush(mode_t mode);

    // Puts the flushed file in place of the target in one step and closes it. Returns 0
    // or the errno; on failure the target stays as it was.
    int Replace();

private:
    int OpenUnnamed();
    int OpenNamed();
    int NameUnnamed();
    void Discard();

    std::string target_;
    std::string folder_;
    Options options_;
    std::string temporary_;
    UniqueFd fd_;
    bool replaced_ = false;
};

// The folder a path lies in: "." for a bare file name, "/" for a file at the root.
std::string FolderOf(const std::string& path);

}  // namespace base
