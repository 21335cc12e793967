#include "encoder/Mp3Source.h"

#include "media/MpegHeader.h"

#include <mpg123.h>

#include <algorithm>
#include <new>

namespace av {

namespace {

// As in AudioSource: decoding starts half a second before the start, which covers the
// bit reservoir and the overlap of the first frames after a jump at any bit rate.
constexpr int kPreRollDivisor = 2;

struct HandleDeleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using HandlePtr = std::unique_ptr<mpg123_handle, HandleDeleter>;

// A decoder that takes whole frames from us and gives float samples from the first one:
// no gapless trimming (the timeline is placed here), no Info-frame parsing, no output.
HandlePtr NewDecoder(const Mp3Layout& layout)
{
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int error = MPG123_OK;
    HandlePtr handle(mpg123_new(nullptr, &error));
    if (!handle)
        throw std::bad_alloc();
    mpg123_handle* h = handle.get();
    const long flags = MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_IGNORE_INFOFRAME | MPG123_NO_READAHEAD |
                       MPG123_NO_FRANKENSTEIN;
    bool ok = mpg123_param(h, MPG123_FLAGS, flags, 0) == MPG123_OK &&
              mpg123_param(h, MPG123_RESYNC_LIMIT, 0, 0) == MPG123_OK && mpg123_format_none(h) == MPG123_OK &&
              mpg123_format(h, layout.sampleRate, layout.channels == 1 ? MPG123_MONO : MPG123_STEREO,
                            MPG123_ENC_FLOAT_32) == MPG123_OK &&
              mpg123_open_feed(h) == MPG123_OK;
    if (!ok)
        throw std::bad_alloc();
    return handle;
}

}  // namespace

std::unique_ptr<Mp3Source> Mp3Source::Open(const media::SourceFile& file)
{
    FileWindow window(file.descriptor(), file.size());
    const std::optional<Mp3Layout> layout = RecognisePlainMp3(window);
    if (!layout)
        return nullptr;
    return std::unique_ptr<Mp3Source>(new Mp3Source(file, *layout));
}

Mp3Source::Mp3Source(const media::SourceFile& file, const Mp3Layout& layout)
    : file_(file), window_(file.descriptor(), file.size()), layout_(layout)
{
}

bool Mp3Source::Prepare(const Selection& selection)
{
    const int spf = layout_.samplesPerFrame;
    pastTheEnd_ = false;
    firstFrame_ = 0;
    firstFramePos_ = layout_.firstAudioFrame;
    const std::int64_t preRoll = layout_.sampleRate / kPreRollDivisor;
    if (selection.begin > preRoll) {
        firstFrame_ = (selection.begin - preRoll + layout_.delay) / spf;
        const MpegFrameSearch search = LocateFrame(file_.descriptorPath(), layout_.firstAudioFrame, firstFrame_);
        if (search.result == MpegFrameSearch::PastTheEnd) {
            pastTheEnd_ = true;
            return true;
        }
        if (search.result != MpegFrameSearch::Found)
            return false;
        firstFramePos_ = search.position;
    }

    // Every frame up to the one that holds the selection's last sample must be there,
    // whole and of the same stream; the stream may end before (file end or closing tag).
    // A selection that reaches the LAME tag's padding needs the stream to end where the
    // tag says: FFmpeg would play frames beyond it, which this source leaves out.
    const std::int64_t end = std::min(selection.end, layout_.endSample);
    const bool reachesThePadding = layout_.tagFrames > 0 && selection.end > layout_.endSample;
    std::int64_t lastFrame =
        end == Selection::kToTheEnd ? Selection::kToTheEnd : (end + layout_.delay + spf - 1) / spf;
    if (reachesThePadding)
        lastFrame = std::max(lastFrame, layout_.tagFrames);
    frameCount_ = 0;
    std::int64_t pos = firstFramePos_;
    std::int64_t n = firstFrame_;
    for (; n < lastFrame; ++n) {
        if (StreamEndsAt(window_, pos))
            return true;
        const std::uint8_t* bytes = window_.At(pos, media::MpegHeader::kBytes);
        if (!bytes)
            return false;
        const media::MpegHeader header = media::MpegHeader::fromBytes(bytes);
        if (!SameStream(layout_, header.word()) || header.frameBytes() > window_.size() - pos)
            return false;
        pos += header.frameBytes();
        ++frameCount_;
    }
    return !reachesThePadding || StreamEndsAt(window_, pos);
}

std::int64_t Mp3Source::ReadSelection(const Selection& wanted, const Sink& sink)
{
    if (pastTheEnd_) {
        metAudio_ = true;   // frames were there, all before the start
        return 0;
    }
    Selection selection = wanted;
    selection.end = std::min(selection.end, layout_.endSample);
    HandlePtr decoder = NewDecoder(layout_);
    const int spf = layout_.samplesPerFrame;
    std::int64_t passed = 0;
    std::int64_t pos = firstFramePos_;
    for (std::int64_t n = 0; n < frameCount_; ++n) {
        const std::uint8_t* header = window_.At(pos, media::MpegHeader::kBytes);
        const int frameBytes = header ? media::MpegHeader::fromBytes(header).frameBytes() : 0;
        const std::uint8_t* frame = frameBytes > 0 ? window_.At(pos, frameBytes) : nullptr;
        if (!frame)
            break;   // the file shrank since Prepare: it ends here
        pos += frameBytes;
        if (mpg123_feed(decoder.get(), frame, std::size_t(frameBytes)) != MPG123_OK)
            throw std::bad_alloc();
        for (;;) {
            off_t number = 0;
            unsigned char* audio = nullptr;
            std::size_t bytes = 0;
            const int rc = mpg123_decode_frame(decoder.get(), &number, &audio, &bytes);
            if (rc == MPG123_NEW_FORMAT)
                continue;
            if (rc == MPG123_NEED_MORE)
                break;
            if (rc != MPG123_OK || bytes == 0)
                continue;   // a damaged frame is left out, as FFmpeg leaves it out
            metAudio_ = true;
            // The decoder counts the frames it was fed from 0: its frame number places
            // the block, whatever came before.
            const int frames = int(bytes / (sizeof(float) * std::size_t(layout_.channels)));
            const std::int64_t begin = (firstFrame_ + std::int64_t(number)) * spf - layout_.delay;
            const BlockPart part = PartInSelection(selection, begin, frames);
            if (part.last > part.first) {
                SampleBlock block;
                block.samples = reinterpret_cast<float*>(audio) + part.first * layout_.channels;
                block.channels = layout_.channels;
                block.frames = int(part.last - part.first);
                sink(block);
                passed += block.frames;
            }
            if (begin + frames >= selection.end)
                return passed;
        }
    }
    return passed;
}

}  // namespace av
