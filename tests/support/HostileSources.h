#pragma once
// Sources that must be refused without hanging: lists and playlists named like an MP3
// that point at a named pipe or at another file, and large files of zeros made sparse so
// that they cost nothing to create.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/Fixtures.h"

namespace fixtures {

// A file of `bytes` zeros that takes no disk space.
inline bool MakeSparseFile(const std::string& path, off_t bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool sized = ftruncate(fd, bytes) == 0;
    return close(fd) == 0 && sized;
}

struct ListSource {
    std::string name;     // the list's file name, ending in .mp3
    std::string entry;    // the file it points at
};

// Writes, in folder, an ffconcat list and an HLS playlist pointing at a named pipe and at
// another audio file (other.mp3, which must exist); returns them. Entries are named both
// relative to the list and absolutely, as a list may hold either.
inline std::vector<ListSource> MakeListSources(const std::string& folder)
{
    const std::string pipe = folder + "/live.mp3";
    mkfifo(pipe.c_str(), 0600);
    std::vector<ListSource> lists;
    for (const std::string& entry : {std::string("live.mp3"), pipe, std::string("other.mp3"), folder + "/other.mp3"}) {
        const std::string tag = std::to_string(lists.size());
        lists.push_back({"concat" + tag + ".mp3", entry});
        WriteFile(folder + "/" + lists.back().name, "ffconcat version 1.0\nfile '" + entry + "'\n");
        lists.push_back({"playlist" + tag + ".mp3", entry});
        WriteFile(folder + "/" + lists.back().name,
                  "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXT-X-MEDIA-SEQUENCE:0\n#EXTINF:10.0,\n" +
                      entry + "\n#EXT-X-ENDLIST\n");
    }
    return lists;
}

// Ends the test program when the guarded code has not finished after a generous time, so
// that a hang fails the suite instead of stalling it.
class HangGuard {
public:
    explicit HangGuard(int seconds)
        : watch_([this, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!finished_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                  std::fprintf(stderr, "HangGuard: still running after %d s\n", seconds);
                  std::_Exit(3);
              }
          })
    {
    }
    ~HangGuard()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        finished_.notify_all();
        watch_.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread watch_;
};

}  // namespace fixtures
