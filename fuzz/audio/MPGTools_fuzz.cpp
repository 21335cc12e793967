// Loads arbitrary bytes as a file with TMPEGAudio and checks the outcome against a plain
// byte-by-byte scan of the same bytes. The file lives in memory (memfd), reached by its
// /proc/self/fd path.
#include "audio/MPGTools.h"
#include "support/MPGReferenceScan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "mpgtools_fuzz: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int fd = memfd_create("mpgtools_fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        return 0;

    TMPEGAudio reader;
    int handlerCalls = 0;
    reader.SetReadErrorHandler([&](const TMPEGAudio&) -> std::uint16_t {
        ++handlerCalls;
        return TMPEGAudio::mrCancel;
    });
    long pumps = 0;
    reader.SetPumpInterval(std::chrono::milliseconds(0));
    reader.SetMessagePump([&] { ++pumps; return true; });
    reader.SetAutoLoad(false);
    reader.SetFileName(path);
    const std::int32_t result = reader.Load();

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const mpgreference::Outcome expected = mpgreference::Scan(bytes);
    Check(result == (expected.result == 0 ? 0 : TMPEGAudio::mrCancel), "result");
    Check(handlerCalls == (expected.result == 0 ? 0 : 1), "handler calls");
    Check(reader.FirstFramePos() == expected.firstFramePos, "FirstFramePos");
    Check(pumps == expected.pumps, "pump points");
    Check(size <= 5 ? reader.Length() == 0 : reader.Length() == std::int64_t(size), "Length");
    if (expected.result == 0 && expected.paired) {
        Check(reader.IsValid(), "IsValid after success");
        Check((reader.BitRate() == -1) == expected.xing, "Xing");
        Check(reader.Title().size() <= 30 && reader.Artist().size() <= 30 && reader.Year().size() == 4,
              "text lengths");
    }
    if (expected.result == 0 && !expected.paired)
        Check(size <= 5 && !reader.IsValid(), "files of 5 bytes or less are not read");
    (void)reader.DurationTime();
    (void)reader.BitRateText();
    (void)reader.StereoText();
    return 0;
}
