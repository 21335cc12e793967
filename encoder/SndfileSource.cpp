#include "encoder/SndfileSource.h"

#include "encoder/ToolError.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace av {

namespace {

constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 384000;
constexpr int kBlockFrames = 4096;

using Reader = SndfileSource::Reader;

sf_count_t Length(void* user) { return static_cast<Reader*>(user)->size; }

sf_count_t Seek(sf_count_t offset, int whence, void* user)
{
    auto* r = static_cast<Reader*>(user);
    std::int64_t to = offset;
    if (whence == SEEK_CUR)
        to += r->position;
    else if (whence == SEEK_END)
        to += r->size;
    if (to < 0)
        return -1;
    r->position = to;
    return to;
}

sf_count_t Read(void* data, sf_count_t count, void* user)
{
    auto* r = static_cast<Reader*>(user);
    sf_count_t done = 0;
    while (done < count) {
        const ssize_t n = pread(r->fd, static_cast<char*>(data) + done, std::size_t(count - done),
                                off_t(r->position));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        r->position += n;
        done += n;
    }
    return done;
}

sf_count_t Write(const void*, sf_count_t, void*) { return 0; }

sf_count_t Tell(void* user) { return static_cast<Reader*>(user)->position; }

bool Accepted(const SF_INFO& info)
{
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const int coding = info.format & SF_FORMAT_SUBMASK;
    const bool wav = container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
    const bool flac = container == SF_FORMAT_FLAC;
    bool codingKnown = false;
    switch (coding) {
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
        codingKnown = true;
        break;
    case SF_FORMAT_PCM_S8:
        codingKnown = flac;
        break;
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
    case SF_FORMAT_DOUBLE:
        codingKnown = wav;
        break;
    default:
        break;
    }
    // A file that tells no length (a FLAC stream written without it, an empty WAV file)
    // is left to FFmpeg, which reads on until the data ends.
    return (wav || flac) && codingKnown && (info.channels == 1 || info.channels == 2) &&
           info.samplerate >= kLowestRate && info.samplerate <= kHighestRate && info.frames > 0 &&
           info.frames < SF_COUNT_MAX;
}

}  // namespace

std::unique_ptr<SndfileSource> SndfileSource::Open(const media::SourceFile& file)
{
    // A cheap look at the first bytes first: libsndfile is only asked about what starts
    // like a WAV or FLAC file.
    unsigned char magic[12] = {};
    if (pread(file.descriptor(), magic, sizeof magic, 0) != sizeof magic)
        return nullptr;
    const bool riff = std::memcmp(magic, "RIFF", 4) == 0 && std::memcmp(magic + 8, "WAVE", 4) == 0;
    const bool flac = std::memcmp(magic, "fLaC", 4) == 0;
    if (!riff && !flac)
        return nullptr;

    std::unique_ptr<SndfileSource> source(new SndfileSource);
    source->path_ = file.path();
    source->reader_.fd = file.descriptor();
    source->reader_.size = file.size();
    SF_VIRTUAL_IO io{&Length, &Seek, &Read, &Write, &Tell};
    SF_INFO info{};
    source->file_ = sf_open_virtual(&io, SFM_READ, &info, &source->reader_);
    if (!source->file_ || !Accepted(info))
        return nullptr;
    source->sampleRate_ = info.samplerate;
    source->channels_ = info.channels;
    source->frames_ = info.frames;
    return source;
}

SndfileSource::~SndfileSource()
{
    if (file_)
        sf_close(file_);
}

std::int64_t SndfileSource::ReadSelection(const Selection& selection, const Sink& sink)
{
    metAudio_ = true;
    if (selection.begin >= frames_)
        return 0;
    if (sf_seek(file_, selection.begin, SEEK_SET) != selection.begin)
        throw ToolError("Cannot read the source file " + Quoted(path_) + ": " + std::strerror(EIO));
    buffer_.resize(std::size_t(kBlockFrames) * std::size_t(channels_));
    std::int64_t passed = 0;
    std::int64_t position = selection.begin;
    const std::int64_t end = std::min(selection.end, frames_);
    while (position < end) {
        const sf_count_t want = sf_count_t(std::min<std::int64_t>(kBlockFrames, end - position));
        const sf_count_t got = sf_readf_float(file_, buffer_.data(), want);
        if (got <= 0)
            break;
        SampleBlock block{buffer_.data(), channels_, int(got)};
        sink(block);
        passed += got;
        position += got;
    }
    return passed;
}

}  // namespace av
