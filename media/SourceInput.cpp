#include "media/SourceInput.h"

#include "media/FfmpegLibraries.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>

extern "C" {
#include <libavutil/avstring.h>
}

namespace media {

namespace {

constexpr int kIoBufferBytes = 64 * 1024;

// Demuxers may ask to open further files (a list's entries, a playlist's segments, a
// movie's external references); a source is one file only.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**)
{
    return AVERROR(EPERM);
}

}  // namespace

const char* const SourceInput::kAudioFormats = "mp3,wav,asf,flac,ogg,mov,aac,aiff,amr";

SourceError::SourceError(Kind kind, int averror)
    : std::runtime_error(averror != 0 ? ErrorText(averror) : "The source was refused"), kind_(kind),
      averror_(averror)
{
}

SourceError::SourceError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind), averror_(0) {}

SourceFile::SourceFile(const std::string& path) : path_(path)
{
    // Non-blocking, so that opening a named pipe without a writer returns at once.
    fd_ = base::UniqueFd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd_.valid())
        throw SourceError(SourceError::Kind::CannotOpen, AVERROR(errno));
    struct stat info {};
    if (fstat(fd_.get(), &info) != 0)
        throw SourceError(SourceError::Kind::CannotOpen, AVERROR(errno));
    if (S_ISDIR(info.st_mode))
        throw SourceError(SourceError::Kind::CannotOpen, AVERROR(EISDIR));
    if (!S_ISREG(info.st_mode))
        throw SourceError(SourceError::Kind::NotRegularFile, 0);
    size_ = info.st_size;
}

std::string SourceFile::descriptorPath() const
{
    return "/proc/self/fd/" + std::to_string(fd_.get());
}

// What the reading context reads with: the descriptor at a position of its own (so that
// several inputs over one file do not disturb each other), the read bound and the cancel
// flag.
class SourceInput::Reader {
public:
    Reader(const SourceFile& file, CancelFlag cancel) : fd_(file.descriptor()), cancel_(std::move(cancel)) {}

    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }
    bool boundReached() const { return boundReached_; }
    void restartBound() { sinceMark_ = 0; }

    static int Read(void* opaque, std::uint8_t* buffer, int size)
    {
        return static_cast<Reader*>(opaque)->read(buffer, size);
    }
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        return static_cast<Reader*>(opaque)->seek(offset, whence);
    }
    static int Interrupted(void* opaque) { return static_cast<Reader*>(opaque)->cancelled() ? 1 : 0; }

private:
    int read(std::uint8_t* buffer, int size)
    {
        if (cancelled())
            return AVERROR_EXIT;
        const std::int64_t allowed = kReadBoundBytes - sinceMark_;
        if (allowed <= 0) {
            boundReached_ = true;
            return AVERROR_EOF;
        }
        const std::size_t want = std::size_t(std::min<std::int64_t>(size, allowed));
        for (;;) {
            const ssize_t got = pread(fd_, buffer, want, off_t(position_));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return AVERROR(errno);
            if (got == 0)
                return AVERROR_EOF;
            position_ += got;
            sinceMark_ += got;
            return int(got);
        }
    }

    std::int64_t seek(std::int64_t offset, int whence)
    {
        struct stat info {};
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return fstat(fd_, &info) == 0 ? std::int64_t(info.st_size) : AVERROR(errno);
        case SEEK_SET:
            break;
        case SEEK_CUR:
            offset += position_;
            break;
        case SEEK_END:
            if (fstat(fd_, &info) != 0)
                return AVERROR(errno);
            offset += info.st_size;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        position_ = offset;
        return position_;
    }

    int fd_;
    CancelFlag cancel_;
    std::int64_t position_ = 0;
    std::int64_t sinceMark_ = 0;  // bytes read since the open began or the last packet
    bool boundReached_ = false;
};

SourceInput::SourceInput(const SourceFile& file, CancelFlag cancel)
    : reader_(std::make_unique<Reader>(file, std::move(cancel)))
{
    // Every source is opened here, so this is where the libraries are first loaded.
    std::string why;
    if (!LoadFfmpeg(&why))
        throw SourceError(SourceError::Kind::NoLibraries, "The FFmpeg libraries cannot be loaded (" + why + ")");
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        throw std::bad_alloc();
    io_.reset(avio_alloc_context(buffer, kIoBufferBytes, 0, reader_.get(), &Reader::Read, nullptr, &Reader::Seek));
    if (!io_) {
        av_free(buffer);
        throw std::bad_alloc();
    }

    // The format is chosen here rather than by avformat_open_input, so that anything but
    // an audio file is refused in the user's terms before its demuxer runs at all.
    const AVInputFormat* format = nullptr;
    int rc = av_probe_input_buffer2(io_.get(), &format, file.path().c_str(), nullptr, 0, kProbeBytes);
    if (rc < 0)
        fail(rc);
    if (!format || av_match_list(format->name, kAudioFormats, ',') <= 0)
        throw SourceError(SourceError::Kind::NotAudioFormat, 0);

    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        throw std::bad_alloc();
    context->pb = io_.get();
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->interrupt_callback = AVIOInterruptCB{&Reader::Interrupted, reader_.get()};
    context->io_open = &RefuseNestedOpen;
    context->probesize = kProbeBytes;
    context->format_whitelist = av_strdup(kAudioFormats);
    context->protocol_whitelist = av_strdup("none");
    if (!context->format_whitelist || !context->protocol_whitelist) {
        avformat_free_context(context);
        throw std::bad_alloc();
    }
    // On failure avformat_open_input frees the context itself.
    rc = avformat_open_input(&context, file.path().c_str(), format, nullptr);
    if (rc < 0)
        fail(rc);
    input_.reset(context);
    rc = avformat_find_stream_info(context, nullptr);
    if (rc < 0 || reader_->boundReached())
        fail(rc);
    reader_->restartBound();
}

SourceInput::~SourceInput() = default;

void SourceInput::fail(int averror) const
{
    if (reader_->cancelled())
        throw SourceError(SourceError::Kind::Cancelled, 0);
    if (reader_->boundReached())
        throw SourceError(SourceError::Kind::NotAudioFormat, 0);
    if (averror == AVERROR(ENOMEM))
        throw std::bad_alloc();
    throw SourceError(SourceError::Kind::Failed, averror);
}

int SourceInput::readPacket(AVPacket* packet)
{
    const int rc = av_read_frame(input_.get(), packet);
    if (rc >= 0)
        reader_->restartBound();
    return rc;
}

bool SourceInput::readBoundReached() const
{
    return reader_->boundReached();
}

}  // namespace media
