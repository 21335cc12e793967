#include "audio/MPGTools.h"

#include "base/UniqueFd.h"
#include "media/MpegHeader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The reader's Version field: 1 MPEG 1, 2 MPEG 2, 3 MPEG 2.5, 0 the reserved code; by the
// header's version code.
constexpr std::uint8_t kVersionReserved = 0;
constexpr std::uint8_t kVersionByCode[4] = {3, kVersionReserved, 2, 1};

constexpr std::uint8_t kModeSingleChannel = std::uint8_t(media::MpegChannelMode::SingleChannel);

constexpr std::int64_t kHeaderBytes = media::MpegHeader::kBytes;
constexpr std::int64_t kShortestReadableFile = 5;  // files this long or shorter are not read

// Xing header: the tag, the flags and the frame count in the first frame.
constexpr char kXingTag[4] = {'X', 'i', 'n', 'g'};
constexpr std::size_t kXingBlockBytes = 116;  // the bytes read after "Xing"
constexpr std::uint32_t kXingFramesFlag = 1;  // flag bit 0: the frame count follows
// The reader counts a Layer I Xing frame as 1152 samples, not the 384 a Layer I frame
// holds; kept as it has always been (Layer I files with a Xing header are not met in use).
constexpr double kLayer1XingSamples = 1152.0;

// ID3v1 tag: the last 128 bytes of the file.
constexpr std::int64_t kTagBytes = 128;
constexpr char kTagId[3] = {'T', 'A', 'G'};
constexpr std::size_t kTagTitleAt = 3, kTagArtistAt = 33, kTagAlbumAt = 63, kTagYearAt = 93,
                      kTagCommentAt = 97, kTagTrackAt = 126, kTagGenreAt = 127;
constexpr std::size_t kTagTextBytes = 30, kTagYearBytes = 4;
constexpr std::size_t kTitleMax = 30;

// The pump runs at file positions that are multiples of 300. With a pump interval it is
// asked only at every 218th of them (65400 bytes), and runs when the interval has passed.
constexpr std::int64_t kPumpStep = 300;
constexpr std::int64_t kThrottledPumpStep = 218 * kPumpStep;

constexpr std::size_t kBufferBytes = 128 * 1024;

const char kNotFoundPrefix[] = "[not found: ";
const char kNoTag[] = "[notag]";

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::string Cut(std::string text, std::size_t maxLength)
{
    if (text.size() > maxLength)
        text.resize(maxLength);
    return text;
}

// The text after the last path separator.
std::string NamePart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name resolved against the current directory; symbolic links are not followed.
std::string AbsoluteName(const std::string& name)
{
    if (name.empty())
        return name;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.string();
}

// A name with a zero byte inside names no file: the system would see only its first part.
bool HasZeroByte(const std::string& name) { return name.find('\0') != std::string::npos; }

bool FileExists(const std::string& name)
{
    struct stat info;
    return !name.empty() && !HasZeroByte(name) && stat(name.c_str(), &info) == 0 &&
           !S_ISDIR(info.st_mode);
}

// An ID3v1 text: cut at its first zero byte, trailing blanks removed.
std::string TagText(const std::uint8_t* bytes, std::size_t count)
{
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(bytes, 0, count));
    std::size_t length = end ? std::size_t(end - bytes) : count;
    while (length > 0 && bytes[length - 1] == ' ')
        --length;
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

// Nearest whole number, halves going to the even neighbour.
double RoundHalfEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        return below + 1.0;
    return below;
}

std::mutex& DefaultsMutex()
{
    static std::mutex mutex;
    return mutex;
}
ReadErrorHandlerFn& DefaultHandlerSlot()
{
    static ReadErrorHandlerFn handler;
    return handler;
}
MessagePumpFn& DefaultPumpSlot()
{
    static MessagePumpFn pump;
    return pump;
}

// A window of the file held in memory: reads at any position go through it, and a read
// outside it refills it from that position.
class FileBuffer {
public:
    static constexpr std::int64_t kNone = -1;
    static constexpr std::int64_t kFailed = -2;

    FileBuffer(int fd, std::int64_t size) : fd_(fd), size_(size), data_(new std::uint8_t[kBufferBytes]) {}

    // Copies up to count bytes from position to target; returns the number delivered (fewer
    // at the end of the file) or -1 when the system reports a read error.
    std::int64_t Read(std::int64_t position, std::uint8_t* target, std::size_t count)
    {
        if (position >= holeStart_ && position + std::int64_t(count) <= holeEnd_) {
            std::memset(target, 0, count);
            return std::int64_t(count);
        }
        if (position < start_ || position + std::int64_t(count) > start_ + std::int64_t(count_)) {
            if (count > kBufferBytes || !Fill(position))
                return -1;
        }
        const std::size_t delivered = std::min<std::size_t>(count, std::size_t(start_ + std::int64_t(count_) - position));
        std::memcpy(target, data_.get() + (position - start_), delivered);
        return std::int64_t(delivered);
    }

    // The first position p in [from, last] whose byte is 0xFF and whose next byte has its
    // top three bits set (the eleven sync bits of a frame header); kNone when there is none,
    // kFailed on a read error. last + 1 must lie inside the file. Holes of a sparse file
    // (zero bytes) are passed over without reading them.
    std::int64_t FindSync(std::int64_t from, std::int64_t last)
    {
        std::int64_t at = from;
        while (at <= last) {
            if (at >= holeStart_ && at < holeEnd_) {
                at = holeEnd_;
                continue;
            }
            if (at < start_ || at + 1 >= start_ + std::int64_t(count_)) {
                const off_t data = lseek(fd_, off_t(at), SEEK_DATA);
                if ((data < 0 && errno == ENXIO) || data > at) {
                    // A hole from here up to the next data, or up to the end of the file.
                    holeStart_ = at;
                    holeEnd_ = data < 0 ? size_ : std::int64_t(data);
                    continue;
                }
                if (!Fill(at) || count_ < 2)
                    return kFailed;  // a read error, or the file has shrunk
            }
            const std::uint8_t* start = data_.get() + (at - start_);
            const std::int64_t searchable =
                std::min(start_ + std::int64_t(count_) - 1 - at, last - at + 1);
            const auto* hit = static_cast<const std::uint8_t*>(std::memchr(start, 0xFF, std::size_t(searchable)));
            if (!hit) {
                at += searchable;
                continue;
            }
            at += hit - start;
            if ((hit[1] & 0xE0) == 0xE0)
                return at;
            ++at;
        }
        return kNone;
    }

private:
    bool Fill(std::int64_t position)
    {
        start_ = position;
        count_ = 0;
        const std::size_t wanted =
            position < size_ ? std::size_t(std::min<std::int64_t>(kBufferBytes, size_ - position)) : 0;
        while (count_ < wanted) {
            const ssize_t got = pread(fd_, data_.get() + count_, wanted - count_, off_t(position + std::int64_t(count_)));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            if (got == 0)
                break;
            count_ += std::size_t(got);
        }
        return true;
    }

    int fd_;
    std::int64_t size_;
    std::unique_ptr<std::uint8_t[]> data_;
    std::int64_t start_ = 0;
    std::size_t count_ = 0;
    // The last hole found: a range of zero bytes that has not been read.
    std::int64_t holeStart_ = 0;
    std::int64_t holeEnd_ = 0;
};

}  // namespace

// One run of the scan over an open file: find a header pair, then read the Xing header and
// the ID3v1 tag.
class TMPEGAudio::Scan {
public:
    Scan(TMPEGAudio& reader, int fd, std::int64_t size, const std::string& absoluteName)
        : R(reader), buffer_(fd, size), size_(size), absoluteName_(absoluteName),
          pump_(reader.messagePump_), interval_(reader.pumpInterval_),
          pumpStep_(reader.pumpInterval_.count() > 0 ? kThrottledPumpStep : kPumpStep),
          lastPump_(std::chrono::steady_clock::now())
    {
    }

    std::int32_t Run()
    {
        std::int32_t result = 0;
        R.length_ = size_;
        std::int64_t position = 0;
        std::uint8_t bytes[kHeaderBytes];
        for (;;) {
            // The first window.
            if (buffer_.Read(position, bytes, kHeaderBytes) != kHeaderBytes)
                return -1;
            position += kHeaderBytes;
            std::uint32_t window = BigEndian32(bytes);

            // Slide the window until it holds a valid header or reaches the end.
            std::int64_t nextPump = (position / pumpStep_ + 1) * pumpStep_;
            while (!R.DecodeHeader(window)) {
                if (position >= size_)
                    break;
                // Every window between here and the next stop fails the sync test, whose only
                // effect (clearing the header fields) the test at the stop repeats.
                const std::int64_t stop = std::min(size_, nextPump);
                const std::int64_t sync = buffer_.FindSync(position - kHeaderBytes + 1, stop - kHeaderBytes);
                if (sync == FileBuffer::kFailed)
                    return -1;
                position = sync == FileBuffer::kNone ? stop : sync + kHeaderBytes;
                if (buffer_.Read(position - kHeaderBytes, bytes, kHeaderBytes) != kHeaderBytes)
                    return -1;
                window = BigEndian32(bytes);
                if (position == nextPump) {
                    nextPump += pumpStep_;
                    if (!PumpPoint())
                        return Cancelled();
                }
            }

            // The candidate must leave room for its frame. The reader allows two bytes more
            // when the protection bit is set (no CRC follows); it always has.
            R.firstFramePos_ = position - kHeaderBytes;
            const std::int64_t room = R.length_ - R.firstFramePos_ - R.frameLength_ + 2 * std::int64_t(R.errorProt_);
            if (R.IsValid() && room > 0) {
                // The confirming header one frame further on.
                if (buffer_.Read(R.firstFramePos_ + R.frameLength_, bytes, kHeaderBytes) != kHeaderBytes)
                    return -1;
                const media::MpegHeader second = media::MpegHeader::fromBytes(bytes);
                if (!R.DecodeHeader(second.word())) {
                    GiveUp();
                    position = R.firstFramePos_ + 1;
                    result = -1;
                } else {
                    result = 0;
                    // A Xing header in the first frame; the second header's fields are the
                    // ones kept, and they place and count it.
                    position = R.firstFramePos_ + XingOffset(second);
                    if (buffer_.Read(position, bytes, kHeaderBytes) != kHeaderBytes)
                        return -1;
                    position += kHeaderBytes;
                    if (std::memcmp(bytes, kXingTag, sizeof kXingTag) == 0 && !ReadXing(position, second))
                        return -1;
                    // The ID3v1 tag.
                    if (R.length_ > kTagBytes) {
                        std::uint8_t tag[kTagBytes];
                        position = R.length_ - kTagBytes;
                        if (buffer_.Read(position, tag, kTagBytes) != kTagBytes)
                            return -1;
                        position += kTagBytes;
                        if (std::memcmp(tag, kTagId, sizeof kTagId) == 0)
                            R.ReadTag(tag);
                        else
                            R.title_ = Cut(NamePart(R.fileName_), kTitleMax);
                    }
                }
            } else {
                GiveUp();
                R.firstFramePos_ = R.length_ + 1;
                result = -1;
                // the scan goes on right after the four header bytes
            }

            // A pair was accepted, or the file is scanned to its end.
            if (R.IsValid() || position >= size_)
                return result;
        }
    }

private:
    // A candidate that did not hold: the data go back to their reset values.
    void GiveUp()
    {
        R.ResetData();
        R.fileName_ = absoluteName_;
        R.length_ = size_;
    }

    std::int32_t Cancelled()
    {
        GiveUp();
        R.firstFramePos_ = R.length_ + 1;
        R.cancelled_ = true;
        return -1;
    }

    // Lets the window handle its events; false when the scan is to end.
    bool PumpPoint()
    {
        if (R.cancelRequested_.load(std::memory_order_relaxed))
            return false;
        if (!pump_)
            return true;
        if (interval_.count() > 0) {
            const auto now = std::chrono::steady_clock::now();
            if (now - lastPump_ < interval_)
                return true;
        }
        const bool goOn = pump_();
        lastPump_ = std::chrono::steady_clock::now();
        return goOn && !R.cancelRequested_.load(std::memory_order_relaxed);
    }

    // The Xing header follows the Layer III side information. The reader looks for it there
    // whatever the layer, and does not step over a CRC behind the header.
    static std::int64_t XingOffset(media::MpegHeader header) { return kHeaderBytes + header.sideInfoBytes(); }

    // The variable-bit-rate steps after "Xing"; false when the load fails.
    bool ReadXing(std::int64_t position, media::MpegHeader header)
    {
        R.bitRate_ = -1;
        std::uint8_t block[kXingBlockBytes];
        if (buffer_.Read(position, block, kXingBlockBytes) != std::int64_t(kXingBlockBytes))
            return false;
        const std::uint32_t flags = BigEndian32(block);
        const std::uint32_t frames = (flags & kXingFramesFlag) ? BigEndian32(block + 4) : 0;
        const double samplesPerFrame = header.layer() == 1 ? kLayer1XingSamples : header.samplesPerFrame();
        const double seconds = samplesPerFrame / R.sampleRate_ * frames;
        R.duration_ = std::uint16_t(std::int64_t(RoundHalfEven(seconds)));
        if (frames == 0)
            return false;
        R.frameLength_ = std::uint16_t(R.length_ / frames);
        return true;
    }

    TMPEGAudio& R;
    FileBuffer buffer_;
    const std::int64_t size_;
    const std::string& absoluteName_;
    const MessagePumpFn pump_;  // a copy: the reader's own may be replaced during the pump
    const std::chrono::milliseconds interval_;
    const std::int64_t pumpStep_;
    std::chrono::steady_clock::time_point lastPump_;
};

TMPEGAudio::TMPEGAudio()
{
    std::lock_guard<std::mutex> lock(DefaultsMutex());
    readErrorHandler_ = DefaultHandlerSlot();
    messagePump_ = DefaultPumpSlot();
}

void TMPEGAudio::SetDefaultReadErrorHandler(ReadErrorHandlerFn handler)
{
    std::lock_guard<std::mutex> lock(DefaultsMutex());
    DefaultHandlerSlot() = std::move(handler);
}

ReadErrorHandlerFn TMPEGAudio::DefaultReadErrorHandler()
{
    std::lock_guard<std::mutex> lock(DefaultsMutex());
    return DefaultHandlerSlot();
}

void TMPEGAudio::SetDefaultMessagePump(MessagePumpFn pump)
{
    std::lock_guard<std::mutex> lock(DefaultsMutex());
    DefaultPumpSlot() = std::move(pump);
}

MessagePumpFn TMPEGAudio::DefaultMessagePump()
{
    std::lock_guard<std::mutex> lock(DefaultsMutex());
    return DefaultPumpSlot();
}

void TMPEGAudio::SetFileName(const std::string& name)
{
    fileName_ = name;
    if (autoLoad_)
        Load();
}

std::int32_t TMPEGAudio::Load()
{
    cancelRequested_.store(false, std::memory_order_relaxed);
    cancelled_ = false;
    const std::string givenName = fileName_;
    ResetData();
    const std::string absoluteName = AbsoluteName(givenName);
    fileName_ = absoluteName;
    for (;;) {
        std::int32_t result = -1;
        if (!FileExists(absoluteName)) {
            title_ = Cut(kNotFoundPrefix + NamePart(givenName) + "]", kTitleMax);
        } else {
            firstFramePos_ = 0;
            const int fd = open(absoluteName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            if (fd < 0) {
                result = errno;
            } else {
                const base::UniqueFd closer(fd);
                result = 0;
                struct stat info;
                if (fstat(fd, &info) != 0) {
                    result = -1;
                } else if (info.st_size > kShortestReadableFile) {
                    Scan scan(*this, fd, std::int64_t(info.st_size), absoluteName);
                    result = scan.Run();
                }
            }
        }
        if (cancelled_)
            return -1;
        const ReadErrorHandlerFn handler = readErrorHandler_;
        if (result == 0 || !handler)
            return result;
        result = handler(*this);
        if (result != mrRetry)
            return result;
        if (cancelRequested_.load(std::memory_order_relaxed)) {
            cancelled_ = true;
            return -1;
        }
    }
}

void TMPEGAudio::ResetData()
{
    tagHeader_ = "BAD";
    title_ = kNoTag;
    artist_ = kNoTag;
    album_ = kNoTag;
    year_ = "    ";
    comment_ = kNoTag;
    genre_ = 255;
    track_ = 0;
    duration_ = 0;
    length_ = 0;
    ClearHeaderFields();
    fileName_.clear();
}

bool TMPEGAudio::IsValid() const
{
    return length_ > kShortestReadableFile && version_ != kVersionReserved && layer_ != 0 &&
           sampleRate_ > 0 && (bitRate_ > 0 || bitRate_ == -1);
}

void TMPEGAudio::ClearHeaderFields()
{
    version_ = 0;
    layer_ = 0;
    sampleRate_ = 0;
    bitRate_ = 0;
    mode_ = 0;
    copyright_ = false;
    original_ = false;
    errorProt_ = false;
    padding_ = false;
    frameLength_ = 0;
}

bool TMPEGAudio::DecodeHeader(std::uint32_t word)
{
    ClearHeaderFields();
    const media::MpegHeader header(word);
    if (!header.hasSync())
        return false;
    version_ = kVersionByCode[std::size_t(header.version())];
    if (version_ == kVersionReserved)
        return IsValid();
    // Unlike a frame walk, the reader keeps the other fields of a header whose layer or
    // bit-rate index is reserved or forbidden; the value that is unknown is 0.
    layer_ = std::uint8_t(header.layer());
    sampleRate_ = header.sampleRateHz();
    bitRate_ = header.bitRateKbps();
    // ErrorProt is the protection bit as stored: set when no CRC follows the header.
    errorProt_ = header.protectionBit();
    padding_ = header.padding();
    mode_ = std::uint8_t(header.channelMode());
    copyright_ = header.copyright();
    original_ = header.original();

    // Computed in 64 bits: Length × 8 passes 32 bits from 256 MiB on.
    duration_ = bitRate_ == 0 ? 0 : std::uint16_t(length_ * 8 / (std::int64_t(bitRate_) * 1000));
    // Without a bit rate but with a sample rate this is the padding slot alone.
    frameLength_ = std::uint16_t(header.frameBytes());
    return IsValid();
}

double TMPEGAudio::DurationTime() const
{
    const int hours = duration_ / 3600;
    const int minutes = (duration_ % 3600) / 60;
    const int seconds = duration_ % 60;
    const double milliseconds = hours * 3600000.0 + minutes * 60000.0 + seconds * 1000.0;
    return milliseconds / 86400000.0;
}

std::string TMPEGAudio::BitRateText() const
{
    return bitRate_ == -1 ? std::string("VBR") : std::to_string(bitRate_);
}

std::string TMPEGAudio::StereoText() const
{
    return mode_ == kModeSingleChannel ? std::string("Mono") : std::string("Stereo");
}

void TMPEGAudio::ReadTag(const std::uint8_t* tag)
{
    tagHeader_.assign(reinterpret_cast<const char*>(tag), sizeof kTagId);
    title_ = TagText(tag + kTagTitleAt, kTagTextBytes);
    artist_ = TagText(tag + kTagArtistAt, kTagTextBytes);
    album_ = TagText(tag + kTagAlbumAt, kTagTextBytes);
    year_.assign(reinterpret_cast<const char*>(tag + kTagYearAt), kTagYearBytes);
    comment_ = TagText(tag + kTagCommentAt, kTagTextBytes);
    track_ = tag[kTagTrackAt];
    genre_ = tag[kTagGenreAt];
}
