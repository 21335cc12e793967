// TMPEGAudio on byte-level files built here: header decoding, the scan and its pairing,
// the Xing and ID3v1 rules, failures and the error handler, the message pump and its abort,
// and files and paths beyond the old 32-bit and 255-character limits.
#include "audio/MPGTools.h"
#include "support/MPGReferenceScan.h"
#include "support/MPGTestFiles.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace mpgfiles;
using fixtures::ScratchDir;
using fixtures::WriteFile;

namespace {

constexpr double kSecondsPerDay = 86400.0;

std::int32_t LoadFile(TMPEGAudio& reader, const std::string& path)
{
    reader.SetAutoLoad(false);
    reader.SetFileName(path);
    return reader.Load();
}

// The data fields hold their reset values (apart from FileName, Length and FirstFramePos).
void ExpectResetValues(const TMPEGAudio& r)
{
    EXPECT_EQ(r.TagHeader(), "BAD");
    EXPECT_EQ(r.Title(), "[notag]");
    EXPECT_EQ(r.Artist(), "[notag]");
    EXPECT_EQ(r.Album(), "[notag]");
    EXPECT_EQ(r.Year(), "    ");
    EXPECT_EQ(r.Comment(), "[notag]");
    EXPECT_EQ(r.Genre(), 255);
    EXPECT_EQ(r.Track(), 0);
    EXPECT_EQ(r.Duration(), 0);
    EXPECT_EQ(r.Version(), 0);
    EXPECT_EQ(r.Layer(), 0);
    EXPECT_EQ(r.SampleRate(), 0);
    EXPECT_EQ(r.BitRate(), 0);
    EXPECT_EQ(r.Mode(), 0);
    EXPECT_FALSE(r.Copyright());
    EXPECT_FALSE(r.Original());
    EXPECT_FALSE(r.ErrorProt());
    EXPECT_FALSE(r.Padding());
    EXPECT_EQ(r.FrameLength(), 0);
    EXPECT_FALSE(r.IsValid());
}

// A file of the given size with a header pair at the start (the second header one frame on).
std::string PairFile(const HeaderFields& fields, std::size_t frameLength, std::size_t size)
{
    std::string file;
    Put(file, 0, HeaderBytes(fields));
    Put(file, frameLength, HeaderBytes(fields));
    file.resize(std::max(size, file.size()), '\0');
    return file;
}

// How many of this process's file descriptors refer to the file.
int OpenDescriptorsOf(const std::string& path)
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == path)
            ++count;
    }
    return count;
}

// ---- DecodeHeader --------------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    HeaderFields fields;
    int version, layer, sampleRate, bitRate, frameLength;
};

TEST(MPGToolsDecodeHeader, FieldsAndFrameLengths)
{
    const DecodeCase cases[] = {
        {"MPEG1 L3 128k 44100", {1, 3, 9, 0, false}, 1, 3, 44100, 128, 417},
        {"MPEG1 L3 128k 44100 padded", {1, 3, 9, 0, true}, 1, 3, 44100, 128, 418},
        // Layer III of MPEG 2 and 2.5: 576 samples, 72000 × kbit/s / Hz + padding.
        {"MPEG2 L3 64k 22050", {2, 3, 8, 0, false}, 2, 3, 22050, 64, 208},
        {"MPEG2 L3 64k 22050 padded", {2, 3, 8, 0, true}, 2, 3, 22050, 64, 209},
        {"MPEG2 L3 32k 24000", {2, 3, 4, 1, false}, 2, 3, 24000, 32, 96},
        {"MPEG2.5 L3 16k 11025 padded", {3, 3, 2, 0, true}, 3, 3, 11025, 16, 105},
        {"Layer I 384k 48000", {1, 1, 12, 1, false}, 1, 1, 48000, 384, 384},
        {"Layer I 384k 48000 padded", {1, 1, 12, 1, true}, 1, 1, 48000, 384, 388},
        {"MPEG2.5 L3 160k 8000", {3, 3, 14, 2, false}, 3, 3, 8000, 160, 1440},
        {"MPEG2 L2 64k 22050", {2, 2, 8, 0, false}, 2, 2, 22050, 64, 417},
        {"MPEG2.5 L2 8k 11025", {3, 2, 1, 0, false}, 3, 2, 11025, 8, 104},
        {"MPEG2 L1 256k 24000 padded", {2, 1, 14, 1, true}, 2, 1, 24000, 256, 516},
        {"MPEG1 L2 384k 32000", {1, 2, 14, 2, false}, 1, 2, 32000, 384, 1728},
        {"free format", {1, 3, 0, 0, false}, 1, 3, 44100, 0, 0},
        {"bit-rate index 15", {1, 3, 15, 0, true}, 1, 3, 44100, 0, 1},
        {"sample-rate index 3", {1, 3, 9, 3, false}, 1, 3, 0, 128, 0},
        {"reserved layer", {1, 0, 9, 0, false}, 1, 0, 44100, 0, 0},
        {"reserved version", {0, 3, 9, 0, true}, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMPEGAudio r;
        EXPECT_FALSE(r.DecodeHeader(HeaderWord(c.fields)));  // Length 0: never valid
        EXPECT_EQ(r.Version(), c.version);
        EXPECT_EQ(r.Layer(), c.layer);
        EXPECT_EQ(r.SampleRate(), c.sampleRate);
        EXPECT_EQ(r.BitRate(), c.bitRate);
        EXPECT_EQ(r.FrameLength(), c.frameLength);
        EXPECT_EQ(r.Padding(), c.version != 0 && c.fields.padding);
    }
}

TEST(MPGToolsDecodeHeader, BitRateTablesOfBothStandards)
{
    struct Row { int version, layer; std::vector<int> rates; };
    // ISO/IEC 11172-3 and ISO/IEC 13818-3, indices 0 to 15.
    const Row rows[] = {
        {1, 1, {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
        {1, 2, {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0}},
        {1, 3, {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {2, 1, {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
        {2, 2, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {2, 3, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {3, 1, {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
        {3, 3, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    };
    for (const auto& row : rows) {
        for (int index = 0; index < 16; ++index) {
            SCOPED_TRACE("version " + std::to_string(row.version) + " layer " + std::to_string(row.layer) +
                         " index " + std::to_string(index));
            TMPEGAudio r;
            HeaderFields fields;
            fields.version = row.version;
            fields.layer = row.layer;
            fields.bitRateIndex = index;
            r.DecodeHeader(HeaderWord(fields));
            EXPECT_EQ(r.BitRate(), row.rates[std::size_t(index)]);
        }
    }
}

TEST(MPGToolsDecodeHeader, FlagBitsAndModes)
{
    for (int mode = 0; mode < 4; ++mode) {
        for (int bits = 0; bits < 8; ++bits) {
            HeaderFields fields;
            fields.mode = mode;
            fields.protectionBit = bits & 1;
            fields.copyright = bits & 2;
            fields.original = bits & 4;
            TMPEGAudio r;
            r.DecodeHeader(HeaderWord(fields) | 0x0133u);  // private bit, mode extension, emphasis: ignored
            EXPECT_EQ(r.Mode(), mode);
            EXPECT_EQ(r.ErrorProt(), fields.protectionBit);
            EXPECT_EQ(r.Copyright(), fields.copyright);
            EXPECT_EQ(r.Original(), fields.original);
        }
    }
}

TEST(MPGToolsDecodeHeader, WithoutSyncClearsTheHeaderFieldsOnly)
{
    ScratchDir dir;
    const std::string path = dir.file("a.mp3");
    WriteFile(path, PairFile({1, 3, 9, 0, false}, 417, 400000));
    TMPEGAudio r;
    ASSERT_EQ(LoadFile(r, path), 0);
    const auto duration = r.Duration();
    ASSERT_EQ(duration, 25);
    EXPECT_FALSE(r.DecodeHeader(0xFFC00000u));  // ten sync bits only
    EXPECT_EQ(r.Version(), 0);
    EXPECT_EQ(r.SampleRate(), 0);
    EXPECT_EQ(r.FrameLength(), 0);
    EXPECT_EQ(r.Duration(), duration);
    EXPECT_EQ(r.Length(), 400000);
    EXPECT_EQ(r.Title(), "a.mp3");
    EXPECT_TRUE(r.DecodeHeader(HeaderWord({2, 3, 8, 0, false})));
    EXPECT_EQ(r.Duration(), 400000 * 8 / 64000);
}

// ---- Construction, reset, texts -------------------------------------------------------------

TEST(MPGToolsState, NewReaderIsEmptyAndResetGivesTheResetValues)
{
    TMPEGAudio r;
    EXPECT_EQ(r.TagHeader(), "");
    EXPECT_EQ(r.Title(), "");
    EXPECT_EQ(r.Year(), "");
    EXPECT_EQ(r.Genre(), 0);
    EXPECT_EQ(r.FileName(), "");
    EXPECT_EQ(r.FirstFramePos(), 0);
    EXPECT_TRUE(r.AutoLoad());
    EXPECT_FALSE(r.IsValid());
    EXPECT_EQ(r.BitRateText(), "0");
    EXPECT_EQ(r.StereoText(), "Stereo");
    r.ResetData();
    ExpectResetValues(r);
    EXPECT_EQ(r.Length(), 0);
    r.SetFileName("");  // loads: an empty name names no file
    EXPECT_EQ(r.Title(), "[not found: ]");
}

TEST(MPGToolsState, DefaultHandlerAndPumpAreCopiedAtConstruction)
{
    int handlerCalls = 0, pumpCalls = 0;
    TMPEGAudio::SetDefaultReadErrorHandler([&](const TMPEGAudio&) -> std::uint16_t {
        ++handlerCalls;
        return TMPEGAudio::mrIgnore;
    });
    TMPEGAudio::SetDefaultMessagePump([&] { return ++pumpCalls > 0; });
    TMPEGAudio withDefaults;
    TMPEGAudio::SetDefaultReadErrorHandler({});
    TMPEGAudio::SetDefaultMessagePump({});
    TMPEGAudio without;
    EXPECT_FALSE(without.ReadErrorHandler());
    EXPECT_FALSE(without.MessagePump());

    ScratchDir dir;
    WriteFile(dir.file("x.mp3"), std::string(900, 'x'));
    withDefaults.SetPumpInterval(std::chrono::milliseconds(0));
    EXPECT_EQ(LoadFile(withDefaults, dir.file("x.mp3")), TMPEGAudio::mrIgnore);
    EXPECT_EQ(handlerCalls, 1);
    EXPECT_EQ(pumpCalls, 3);  // positions 300, 600, 900
    EXPECT_EQ(LoadFile(without, dir.file("x.mp3")), -1);
    EXPECT_EQ(handlerCalls, 1);
}

TEST(MPGToolsState, DurationTimeAndTexts)
{
    ScratchDir dir;
    // Xing frame counts of MPEG 2.5 Layer III at 8000 Hz (576 / 8000 s per frame) giving a
    // chosen Duration.
    struct Case { std::uint32_t frames; int duration; int h, m, s; };
    const Case cases[] = {{910208, 65535, 18, 12, 15}, {3472, 250, 0, 4, 10}, {50000, 3600, 1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.duration);
        std::string file = PairFile({3, 3, 8, 2, false}, 72000 * 64 / 8000, 5000);
        Put(file, 21, XingBlock(1, c.frames));
        WriteFile(dir.file("t.mp3"), file);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, dir.file("t.mp3")), 0);
        EXPECT_EQ(r.Duration(), c.duration);
        EXPECT_DOUBLE_EQ(r.DurationTime(), (c.h * 3600 + c.m * 60 + c.s) / kSecondsPerDay);
        EXPECT_EQ(r.BitRateText(), "VBR");
    }
}

// ---- Failures and the error handler ------------------------------------------------------------

TEST(MPGToolsFailure, TinyFilesAreNotReadAndNotReported)
{
    ScratchDir dir;
    for (int size : {0, 1, 5}) {
        SCOPED_TRACE(size);
        const std::string path = dir.file("tiny" + std::to_string(size) + ".mp3");
        WriteFile(path, std::string(std::size_t(size), '\xFF'));
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, path), 0);
        EXPECT_EQ(answers.Calls(), 0);
        ExpectResetValues(r);
        EXPECT_EQ(r.Length(), 0);
        EXPECT_EQ(r.FirstFramePos(), 0);
        EXPECT_EQ(r.FileName(), path);
        EXPECT_EQ(r.BitRateText(), "0");
        EXPECT_EQ(r.StereoText(), "Stereo");
    }
}

TEST(MPGToolsFailure, NoHeaderScansWholeFileAndReportsOnce)
{
    ScratchDir dir;
    const std::string text = "This is a text file named .mp3, with no frame header at all.\n";
    std::string contents;
    while (contents.size() < 5000)
        contents += text;
    const std::string path = dir.file("notes.mp3");
    WriteFile(path, contents);

    TMPEGAudio r;
    Answers answers;
    int openWhileReporting = -1;
    answers.onCall = [&] { openWhileReporting = OpenDescriptorsOf(path); };
    r.SetReadErrorHandler(answers.Handler());
    EXPECT_EQ(LoadFile(r, path), TMPEGAudio::mrCancel);
    ASSERT_EQ(answers.Calls(), 1);
    EXPECT_EQ(answers.fileNames[0], path);
    EXPECT_EQ(openWhileReporting, 0);  // the file is closed before the handler runs
    ExpectResetValues(r);
    EXPECT_EQ(r.Length(), std::int64_t(contents.size()));
    EXPECT_EQ(r.FirstFramePos(), r.Length() + 1);
    EXPECT_EQ(r.FileName(), path);
}

TEST(MPGToolsFailure, MissingFileGivesNotFoundTitle)
{
    ScratchDir dir;
    struct Case { std::string name, title; };
    const Case cases[] = {
        {"short.mp3", "[not found: short.mp3]"},
        {"a-rather-long-song-name.mp3", "[not found: a-rather-long-song"},  // 12 + 18 characters
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, dir.file(c.name)), TMPEGAudio::mrCancel);
        EXPECT_EQ(answers.Calls(), 1);
        EXPECT_EQ(r.Title(), c.title);
        EXPECT_EQ(r.FileName(), dir.file(c.name));
        EXPECT_EQ(r.Length(), 0);
        TMPEGAudio silent;
        silent.SetReadErrorHandler({});
        EXPECT_EQ(LoadFile(silent, dir.file(c.name)), -1);
    }
}

TEST(MPGToolsFailure, RelativeNameBecomesAbsoluteAndNamePartIsAfterLastSlash)
{
    ScratchDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    const std::int32_t result = LoadFile(r, "sub/missing.mp3");
    std::filesystem::current_path(previous);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(r.FileName(), dir.path() + "/sub/missing.mp3");
    EXPECT_EQ(r.Title(), "[not found: missing.mp3]");
}

TEST(MPGToolsFailure, RetryReadsAgainWithoutReset)
{
    ScratchDir dir;
    const std::string path = dir.file("later.mp3");
    {   // Retry, then Cancel: the handler is asked twice.
        TMPEGAudio r;
        Answers answers;
        answers.answers = {TMPEGAudio::mrRetry, TMPEGAudio::mrCancel};
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, path), TMPEGAudio::mrCancel);
        EXPECT_EQ(answers.Calls(), 2);
    }
    {   // The file appears before Retry: the second read finds it.
        TMPEGAudio r;
        Answers answers;
        answers.answers = {TMPEGAudio::mrRetry};
        answers.onCall = [&] { WriteFile(path, PairFile({1, 3, 9, 0, false}, 417, 4000000)); };
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, path), 0);
        EXPECT_EQ(answers.Calls(), 1);
        EXPECT_EQ(r.Duration(), 250);
        EXPECT_EQ(r.Title(), "later.mp3");
    }
    {   // Ignore is passed back as it is.
        TMPEGAudio r;
        Answers answers;
        answers.answers = {TMPEGAudio::mrIgnore};
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, dir.file("never.mp3")), TMPEGAudio::mrIgnore);
    }
}

TEST(MPGToolsFailure, FileThatCannotBeOpenedGivesErrno)
{
    ScratchDir dir;
    // A socket exists as a file but cannot be opened, not even by root.
    const std::string socketPath = dir.file("socket.mp3");
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    TMPEGAudio r;
    Answers answers;
    r.SetReadErrorHandler(answers.Handler());
    EXPECT_EQ(LoadFile(r, socketPath), TMPEGAudio::mrCancel);
    EXPECT_EQ(answers.Calls(), 1);
    r.SetReadErrorHandler({});
    EXPECT_EQ(LoadFile(r, socketPath), ENXIO);
    ExpectResetValues(r);
    EXPECT_EQ(r.Title(), "[notag]");
    EXPECT_EQ(r.FileName(), socketPath);
    close(listener);

    if (geteuid() != 0) {  // root opens a file without read permission
        const std::string locked = dir.file("locked.mp3");
        WriteFile(locked, PairFile({1, 3, 9, 0, false}, 417, 4000));
        chmod(locked.c_str(), 0);
        EXPECT_EQ(LoadFile(r, locked), EACCES);
    }
}

TEST(MPGToolsFailure, DirectoryIsNotAFile)
{
    ScratchDir dir;
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    EXPECT_EQ(LoadFile(r, dir.path()), -1);
    EXPECT_EQ(r.Title().rfind("[not found: ", 0), 0u);
}

// ---- Constant bit rate and pairing ---------------------------------------------------------

struct CbrCase {
    const char* name;
    HeaderFields fields;
    std::size_t frameLength;
    std::size_t size;
    int duration;
    std::string bitRateText;
};

TEST(MPGToolsLoad, ConstantBitRatePairs)
{
    const CbrCase cases[] = {
        {"MPEG1 L3 128k", {1, 3, 9, 0, false}, 417, 4000000, 250, "128"},
        {"MPEG1 L3 128k padded", {1, 3, 9, 0, true}, 418, 4000000, 250, "128"},
        {"MPEG2 L3 64k 22050", {2, 3, 8, 0, false}, 208, 800000, 100, "64"},
        {"MPEG2 L3 64k 22050 padded", {2, 3, 8, 0, true}, 209, 800000, 100, "64"},
        {"MPEG2.5 L3 32k 8000", {3, 3, 4, 2, false}, 288, 800000, 200, "32"},
        {"Layer I 384k 48000", {1, 1, 12, 1, false}, 384, 480000, 10, "384"},
        {"Layer I 384k 48000 padded", {1, 1, 12, 1, true}, 388, 480000, 10, "384"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("cbr.mp3");
        WriteFile(path, PairFile(c.fields, c.frameLength, c.size));
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, path), 0);
        EXPECT_EQ(answers.Calls(), 0);
        EXPECT_TRUE(r.IsValid());
        EXPECT_EQ(r.FrameLength(), c.frameLength);
        EXPECT_EQ(r.Duration(), c.duration);
        EXPECT_EQ(r.BitRateText(), c.bitRateText);
        EXPECT_EQ(r.FirstFramePos(), 0);
        EXPECT_EQ(r.Length(), std::int64_t(c.size));

        // The confirming header one byte short of the frame length is not a pair.
        std::string shifted;
        Put(shifted, 0, HeaderBytes(c.fields));
        Put(shifted, c.frameLength - 1, HeaderBytes(c.fields));
        shifted.resize(c.size, '\0');
        WriteFile(path, shifted);
        TMPEGAudio miss;
        miss.SetReadErrorHandler({});
        EXPECT_EQ(LoadFile(miss, path), -1);
        EXPECT_EQ(miss.FirstFramePos(), std::int64_t(c.size) + 1);
    }
    TMPEGAudio r;
    WriteFile(dir.file("t.mp3"), PairFile({1, 3, 9, 0, false}, 417, 4000000));
    r.SetFileName(dir.file("t.mp3"));  // AutoLoad
    EXPECT_DOUBLE_EQ(r.DurationTime(), (4 * 60 + 10) / kSecondsPerDay);
}

TEST(MPGToolsLoad, SecondHeaderFieldsWinAndFirstPairInFileOrderIsTaken)
{
    ScratchDir dir;
    std::string file(300, 'j');
    HeaderFields first{1, 3, 9, 0, true};
    HeaderFields second{1, 3, 11, 0, false, true, 3, true, true};  // 192k mono, copyright, original
    Put(file, 50, HeaderBytes(first));       // a lone header: the scan goes on after it
    Put(file, 100, HeaderBytes(first));
    Put(file, 100 + 418, HeaderBytes(second));
    Put(file, 2000, HeaderBytes(first));
    Put(file, 2000 + 418, HeaderBytes(first));
    file.resize(10000, 'j');
    WriteFile(dir.file("p.mp3"), file);
    TMPEGAudio r;
    ASSERT_EQ(LoadFile(r, dir.file("p.mp3")), 0);
    EXPECT_EQ(r.FirstFramePos(), 100);
    EXPECT_EQ(r.BitRate(), 192);
    EXPECT_EQ(r.Mode(), 3);
    EXPECT_EQ(r.StereoText(), "Mono");
    EXPECT_TRUE(r.Copyright());
    EXPECT_TRUE(r.Original());
    EXPECT_FALSE(r.Padding());
    EXPECT_EQ(r.FrameLength(), 626);
}

TEST(MPGToolsLoad, FirstHeaderRunningPastTheEndIsGivenUp)
{
    ScratchDir dir;
    // Near the end: a 320k header whose frame cannot fit, then right after its four bytes a
    // 32k pair (104-byte frames) that fits.
    std::string file(1000, '\0');
    const std::size_t at = file.size();
    Put(file, at, HeaderBytes({1, 3, 14, 0, false}));
    Put(file, at + 4, HeaderBytes({1, 3, 1, 0, false}));
    Put(file, at + 4 + 104, HeaderBytes({1, 3, 1, 0, false}));
    file.resize(at + 200, '\0');
    WriteFile(dir.file("end.mp3"), file);
    TMPEGAudio r;
    Answers answers;
    r.SetReadErrorHandler(answers.Handler());
    EXPECT_EQ(LoadFile(r, dir.file("end.mp3")), 0);
    EXPECT_EQ(answers.Calls(), 0);
    EXPECT_EQ(r.FirstFramePos(), std::int64_t(at + 4));
    EXPECT_EQ(r.BitRate(), 32);
}

TEST(MPGToolsLoad, RoomForTheFrameAtTheEndOfTheFile)
{
    // Length - FirstFramePos - FrameLength + 2 × ErrorProt must be > 0; a confirming read that
    // then runs past the end fails the load with the first header's data.
    struct Case { bool protectionBit; std::size_t tail; std::int32_t result; bool resetData; };
    const Case cases[] = {
        {false, 0, -1, true},   // no room: given up, reset values
        {false, 1, -1, false},  // room 1: the 4-byte read comes up short
        {true, 0, -1, false},   // ErrorProt adds 2 of room, then the read is short
        {false, 4, -1, true},   // the bytes there are no header: given up
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.protectionBit) + "/" + std::to_string(c.tail));
        HeaderFields fields{1, 3, 9, 0, false};
        fields.protectionBit = c.protectionBit;
        std::string file(100, '\0');
        Put(file, 100, HeaderBytes(fields));
        file.resize(100 + 417 + c.tail, '\0');
        WriteFile(dir.file("room.mp3"), file);
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, dir.file("room.mp3")), TMPEGAudio::mrCancel);
        EXPECT_EQ(answers.Calls(), 1);
        if (c.resetData) {
            EXPECT_EQ(r.SampleRate(), 0);
            EXPECT_EQ(r.FirstFramePos(), r.Length() + 1);
        } else {
            EXPECT_EQ(r.SampleRate(), 44100);
            EXPECT_EQ(r.FirstFramePos(), 100);
        }
    }
}

// ---- Xing ----------------------------------------------------------------------------------

TEST(MPGToolsXing, OffsetsByVersionAndChannels)
{
    struct Case { const char* name; HeaderFields fields; std::size_t frameLength; std::size_t xingAt; bool vbr; };
    const Case cases[] = {
        {"MPEG1 stereo at 36", {1, 3, 9, 0, false, true, 0}, 417, 36, true},
        {"MPEG1 joint at 36", {1, 3, 9, 0, false, true, 1}, 417, 36, true},
        {"MPEG1 mono at 21", {1, 3, 9, 0, false, true, 3}, 417, 21, true},
        {"MPEG1 mono, Xing at 36", {1, 3, 9, 0, false, true, 3}, 417, 36, false},
        {"MPEG1 stereo, Xing at 21", {1, 3, 9, 0, false, true, 0}, 417, 21, false},
        {"MPEG2 stereo at 21", {2, 3, 8, 0, false, true, 0}, 208, 21, true},
        {"MPEG2 mono at 13", {2, 3, 8, 0, false, true, 3}, 208, 13, true},
        {"MPEG2.5 dual at 21", {3, 3, 8, 2, false, true, 2}, 576, 21, true},
        {"MPEG2.5 mono at 13", {3, 3, 8, 2, false, true, 3}, 576, 13, true},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = PairFile(c.fields, c.frameLength, 4000);
        Put(file, c.xingAt, XingBlock(1, 100));
        Put(file, 4000 - 128, Id3v1Title("Song"));
        WriteFile(dir.file("x.mp3"), file);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, dir.file("x.mp3")), 0);
        EXPECT_EQ(r.BitRate() == -1, c.vbr);
        EXPECT_EQ(r.BitRateText() == "VBR", c.vbr);
        EXPECT_EQ(r.FrameLength(), c.vbr ? 4000 / 100 : c.frameLength);
        EXPECT_EQ(r.Title(), "Song");
    }
}

TEST(MPGToolsXing, DurationRoundsHalfToEven)
{
    struct Case { HeaderFields fields; std::uint32_t frames; int duration; std::size_t xingAt = 36; };
    const Case cases[] = {
        {{1, 3, 9, 0, false}, 10000, 261},   // 261.22 at 44100
        {{1, 3, 9, 2, false}, 125, 4},       // 4.5 at 32000
        {{1, 3, 9, 2, false}, 625, 22},      // 22.5
        {{1, 3, 9, 2, false}, 375, 13},      // 13.4999...
        {{1, 3, 9, 2, false}, 2000000, 6464},  // 72000 s kept in 16 bits
        // Layer III of MPEG 2 and 2.5 counts 576 samples a frame.
        {{2, 3, 8, 2, false}, 125, 4, 21},   // 4.5 at 16000
        {{2, 3, 8, 2, false}, 375, 13, 21},  // 13.4999..., as 576 / 16000 × 375 comes out
        {{3, 3, 8, 2, false, true, 3}, 10000, 720, 13},  // 8000 Hz mono
        // Layer II counts 1152 in every version; the reader counts Layer I as 1152 too.
        {{2, 2, 8, 2, false}, 125, 9, 21},   // 9.0 at 16000
        {{1, 1, 9, 2, false}, 125, 4},       // 4.5 at 32000
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        TMPEGAudio probe;
        probe.DecodeHeader(HeaderWord(c.fields));
        std::string file = PairFile(c.fields, probe.FrameLength(), 5000);
        Put(file, c.xingAt, XingBlock(3, c.frames));
        WriteFile(dir.file("x.mp3"), file);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, dir.file("x.mp3")), 0);
        EXPECT_EQ(r.Duration(), c.duration);
        EXPECT_EQ(r.BitRate(), -1);
        EXPECT_TRUE(r.IsValid());
    }
}

TEST(MPGToolsXing, WithoutFrameCountTheLoadFails)
{
    ScratchDir dir;
    for (std::uint32_t flags : {0u, 0x0Eu}) {  // no flag bit 0, but bytes, TOC and quality
        SCOPED_TRACE(flags);
        std::string file = PairFile({1, 3, 9, 0, false}, 417, 5000);
        Put(file, 36, XingBlock(flags, 10000));
        WriteFile(dir.file("x.mp3"), file);
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        EXPECT_EQ(LoadFile(r, dir.file("x.mp3")), TMPEGAudio::mrCancel);
        EXPECT_EQ(answers.Calls(), 1);
        EXPECT_EQ(r.BitRate(), -1);
        EXPECT_EQ(r.Duration(), 0);
        EXPECT_EQ(r.BitRateText(), "VBR");
    }
    // A frame count given as 0 fails the same way; a Xing block cut by the end of the file too.
    std::string zero = PairFile({1, 3, 9, 0, false}, 417, 5000);
    Put(zero, 36, XingBlock(1, 0));
    WriteFile(dir.file("z.mp3"), zero);
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    EXPECT_EQ(LoadFile(r, dir.file("z.mp3")), -1);
    std::string cut = PairFile({1, 3, 1, 0, false}, 104, 110);  // 32k: a 104-byte frame
    Put(cut, 36, "Xing");
    cut.resize(140);
    WriteFile(dir.file("c.mp3"), cut);
    EXPECT_EQ(LoadFile(r, dir.file("c.mp3")), -1);
    EXPECT_EQ(r.BitRate(), -1);
}

// ---- ID3v1 ---------------------------------------------------------------------------------

TEST(MPGToolsTag, TextRules)
{
    struct Case { const char* name; std::string stored, expected; };
    const Case cases[] = {
        {"trailing blanks", "Song" + std::string(26, ' '), "Song"},
        {"zero byte ends the text", std::string("Song\0rest of it", 15), "Song"},
        {"leading blanks stay", "   Song  ", "   Song"},
        {"thirty characters", std::string(30, 'A'), std::string(30, 'A')},
        {"Latin-1 bytes as they are", "Caf\xE9", "Caf\xE9"},
        {"empty", "", ""},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tag tag;
        tag.title = c.stored;
        tag.artist = c.stored;
        tag.album = c.stored;
        tag.comment = c.stored.substr(0, 28);
        tag.year = std::string("19\0\0", 4);
        tag.track = 7;
        tag.genre = 17;
        std::string file = PairFile({1, 3, 9, 0, false}, 417, 2000);
        Put(file, 2000 - 128, Id3v1(tag));
        WriteFile(dir.file("tag.mp3"), file);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, dir.file("tag.mp3")), 0);
        EXPECT_EQ(r.TagHeader(), "TAG");
        EXPECT_EQ(r.Title(), c.expected);
        EXPECT_EQ(r.Artist(), c.expected);
        EXPECT_EQ(r.Album(), c.expected);
        EXPECT_EQ(r.Year(), std::string("19\0\0", 4));
        EXPECT_EQ(r.Track(), 7);
        EXPECT_EQ(r.Genre(), 17);
    }
}

TEST(MPGToolsTag, CommentRunsToByte126AndTrackIsAlwaysByte126)
{
    ScratchDir dir;
    Tag tag;
    tag.comment = std::string(29, 'c');  // byte 125 not zero (ID3v1.0 style)
    tag.track = 'Z';
    std::string file = PairFile({1, 3, 9, 0, false}, 417, 2000);
    Put(file, 2000 - 128, Id3v1(tag));
    WriteFile(dir.file("c.mp3"), file);
    TMPEGAudio r;
    ASSERT_EQ(LoadFile(r, dir.file("c.mp3")), 0);
    EXPECT_EQ(r.Comment(), std::string(29, 'c') + "Z");
    EXPECT_EQ(r.Track(), 'Z');
}

TEST(MPGToolsTag, WithoutTagTitleIsTheFileName)
{
    ScratchDir dir;
    struct Case { std::string name; std::size_t size; std::string tagId; std::string title; };
    const Case cases[] = {
        {"plain.mp3", 2000, "", "plain.mp3"},
        {"a-file-name-longer-than-thirty-characters.mp3", 2000, "", "a-file-name-longer-than-thirty"},
        {"lower.mp3", 2000, "tag", "lower.mp3"},  // the id is compared with its case
        {"small.mp3", 120, "", "[notag]"},        // 128 bytes or less: no tag read
        {"edge.mp3", 128, "", "[notag]"},
        {"edge1.mp3", 129, "", "edge1.mp3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = PairFile({1, 3, 1, 1, false}, 96, c.size);  // 32k 48000: 96-byte frames
        if (!c.tagId.empty())
            Put(file, c.size - 128, c.tagId + std::string(125, 'x'));
        WriteFile(dir.file(c.name), file);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, dir.file(c.name)), 0);
        EXPECT_EQ(r.Title(), c.title);
        EXPECT_EQ(r.TagHeader(), "BAD");
        EXPECT_EQ(r.Artist(), "[notag]");
    }
}

// ---- Message pump and abort ------------------------------------------------------------------

TEST(MPGToolsPump, RunsAtMultiplesOf300AndCanEndTheScan)
{
    ScratchDir dir;
    const std::string path = dir.file("scan.mp3");
    struct Case { const char* name; std::string contents; int pumps; };
    const Case cases[] = {
        {"text", std::string(3000, 't'), 10},
        {"all 0xFF (a header test at every byte)", std::string(3299, '\xFF'), 10},
        {"pair at 1000", [] {
             std::string f(5000, '\0');
             Put(f, 1000, HeaderBytes({1, 3, 9, 0, false}));
             Put(f, 1417, HeaderBytes({1, 3, 9, 0, false}));
             return f;
         }(), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(path, c.contents);
        TMPEGAudio r;
        r.SetReadErrorHandler({});
        r.SetPumpInterval(std::chrono::milliseconds(0));
        int pumps = 0;
        r.SetMessagePump([&] { ++pumps; return true; });
        LoadFile(r, path);
        EXPECT_EQ(pumps, c.pumps);
    }

    // The pump ends the scan by returning false, or by calling Cancel.
    WriteFile(path, std::string(30000, 't'));
    for (bool byCancel : {false, true}) {
        SCOPED_TRACE(byCancel);
        TMPEGAudio r;
        Answers answers;
        r.SetReadErrorHandler(answers.Handler());
        r.SetPumpInterval(std::chrono::milliseconds(0));
        int pumps = 0;
        r.SetMessagePump([&] {
            if (++pumps < 3)
                return true;
            if (byCancel)
                r.Cancel();
            return byCancel;
        });
        EXPECT_EQ(LoadFile(r, path), -1);
        EXPECT_EQ(pumps, 3);
        EXPECT_EQ(answers.Calls(), 0);
        EXPECT_TRUE(r.Cancelled());
        ExpectResetValues(r);
        EXPECT_EQ(r.Length(), 30000);
        EXPECT_EQ(r.FirstFramePos(), 30001);
        // The next load runs normally.
        r.SetMessagePump({});
        EXPECT_EQ(LoadFile(r, path), TMPEGAudio::mrCancel);
        EXPECT_FALSE(r.Cancelled());
        EXPECT_EQ(answers.Calls(), 1);
    }
}

TEST(MPGToolsPump, ThrottledPumpRunsDuringALongScanAndStopsIt)
{
    // 32 MiB of 0xFF bytes: a header test at every byte position keeps the scan busy far
    // longer than the 1 ms pump interval.
    ScratchDir dir;
    const std::string path = dir.file("long.mp3");
    WriteFile(path, std::string(32u << 20, '\xFF'));
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    r.SetPumpInterval(std::chrono::milliseconds(1));
    int pumps = 0;
    r.SetMessagePump([&] { return ++pumps < 2; });
    EXPECT_EQ(LoadFile(r, path), -1);
    EXPECT_EQ(pumps, 2);
    EXPECT_TRUE(r.Cancelled());
    EXPECT_EQ(r.Length(), std::int64_t(32u << 20));
}

TEST(MPGToolsPump, RetryAnsweredAfterCancelDoesNotReadAgain)
{
    ScratchDir dir;
    TMPEGAudio r;
    int calls = 0;
    r.SetReadErrorHandler([&](const TMPEGAudio&) -> std::uint16_t {
        ++calls;
        r.Cancel();  // the window closed while the box was open
        return TMPEGAudio::mrRetry;
    });
    EXPECT_EQ(LoadFile(r, dir.file("gone.mp3")), -1);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(r.Cancelled());
}

// ---- Large files and long paths ----------------------------------------------------------------

// A sparse file of the given length holding the given bytes at the given offset.
void WriteSparse(const std::string& path, std::int64_t length, std::int64_t at, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t(length)), 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), off_t(at)), ssize_t(bytes.size()));
    close(fd);
}

TEST(MPGToolsLarge, FilesOf2GiBAndMore)
{
    ScratchDir dir;
    const std::string path = dir.file("big.mp3");
    const std::string pair = PairFile({1, 3, 14, 0, false}, 1044, 1048);  // 320k 44100
    {   // Duration from a 64-bit Length: 2.5e9 bytes at 320 kbit/s are 62500 s.
        WriteSparse(path, 2500000000LL, 0, pair);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, path), 0);
        EXPECT_EQ(r.Length(), 2500000000LL);
        EXPECT_EQ(r.Duration(), 62500);
    }
    {   // A pair beyond 2 GiB, and a tag at the end.
        const std::int64_t at = (std::int64_t(1) << 31) + 1000;
        const std::int64_t length = (std::int64_t(1) << 32) + 4096;
        WriteSparse(path, length, at, pair);
        const int fd = open(path.c_str(), O_WRONLY);
        const std::string tag = Id3v1Title("Far away");
        ASSERT_EQ(pwrite(fd, tag.data(), tag.size(), off_t(length - 128)), 128);
        close(fd);
        TMPEGAudio r;
        ASSERT_EQ(LoadFile(r, path), 0);
        EXPECT_EQ(r.FirstFramePos(), at);
        EXPECT_EQ(r.Length(), length);
        EXPECT_EQ(r.Title(), "Far away");
        EXPECT_EQ(r.Duration(), std::uint16_t(length * 8 / 320000));
    }
}

TEST(MPGToolsLarge, PathLongerThan255Characters)
{
    ScratchDir dir;
    std::string folder = dir.path();
    while (folder.size() < 400)
        folder += "/" + std::string(60, 'd');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/song.mp3";
    ASSERT_GT(path.size(), 255u);
    WriteFile(path, PairFile({1, 3, 9, 0, false}, 417, 4000));
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    EXPECT_EQ(LoadFile(r, path), 0);
    EXPECT_EQ(r.FileName(), path);
    EXPECT_EQ(r.Title(), "song.mp3");
}

// ---- The buffered scan against the byte-by-byte one ------------------------------------------

// Random files rich in sync patterns, with planted headers, pairs, Xing blocks and pairs
// straddling the reader's buffer boundaries.
std::string RandomFile(std::mt19937& random, std::size_t maxSize)
{
    std::uniform_int_distribution<std::size_t> sizeOf(0, maxSize);
    const std::size_t size = sizeOf(random);
    static const unsigned char kAlphabet[] = {0xFF, 0xFB, 0xFA, 0xF3, 0xE2, 0x90, 0x64, 0x44, 0xC0, 0x00};
    std::string file(size, '\0');
    for (auto& byte : file)
        byte = char(random() % 3 == 0 ? random() & 0xFF : kAlphabet[random() % sizeof kAlphabet]);
    const int plants = int(random() % 6);
    for (int i = 0; i < plants && size > 8; ++i) {
        HeaderFields fields{int(random() % 4), int(random() % 4), int(random() % 16), int(random() % 4),
                         bool(random() & 1), bool(random() & 1), int(random() % 4)};
        std::size_t at = random() % size;
        if (maxSize > 200000 && (random() & 1))
            at = std::min(size - 1, (std::size_t(1) << 17) * (1 + random() % 2) - 8 + random() % 16);
        Put(file, at, HeaderBytes(fields));
        TMPEGAudio probe;
        probe.DecodeHeader(HeaderWord(fields));
        if (random() % 3 != 0)
            Put(file, at + probe.FrameLength(), HeaderBytes(fields));
        if (random() % 3 == 0)
            Put(file, at + (random() % 2 ? 36 : random() % 2 ? 21 : 13), XingBlock(std::uint32_t(random() % 4), std::uint32_t(random() % 3000)));
    }
    if (file.size() > size + 200)
        file.resize(size + random() % 200);
    return file;
}

void ExpectSameAsByteByByte(const std::string& path, const std::string& file)
{
    const mpgreference::Outcome expected = mpgreference::Scan(file);
    TMPEGAudio r;
    r.SetReadErrorHandler({});
    r.SetPumpInterval(std::chrono::milliseconds(0));
    long pumps = 0;
    r.SetMessagePump([&] { ++pumps; return true; });
    EXPECT_EQ(LoadFile(r, path), expected.result);
    EXPECT_EQ(r.FirstFramePos(), expected.firstFramePos);
    EXPECT_EQ(pumps, expected.pumps);
    if (expected.paired) {
        TMPEGAudio second;
        second.DecodeHeader(expected.secondHeader);
        EXPECT_EQ(r.Version(), second.Version());
        EXPECT_EQ(r.Layer(), second.Layer());
        EXPECT_EQ(r.SampleRate(), second.SampleRate());
        EXPECT_EQ(r.Mode(), second.Mode());
        EXPECT_EQ(r.Padding(), second.Padding());
        EXPECT_EQ(r.BitRate(), expected.xing ? -1 : second.BitRate());
    } else if (expected.result == -1 && expected.firstFramePos == std::int64_t(file.size()) + 1) {
        EXPECT_EQ(r.SampleRate(), 0);
    }
}

TEST(MPGToolsScan, SameOutcomeAsByteByByteScan)
{
    ScratchDir dir;
    const std::string path = dir.file("r.mp3");
    std::mt19937 random(20240611);
    for (int i = 0; i < 400; ++i) {
        const std::string file = RandomFile(random, i < 370 ? 3000 : 300000);
        SCOPED_TRACE("case " + std::to_string(i) + ", " + std::to_string(file.size()) + " bytes");
        WriteFile(path, file);
        ExpectSameAsByteByByte(path, file);
        if (HasFailure())
            break;
    }
}

}  // namespace
