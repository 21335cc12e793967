#include "encoder/LameMp3Encoder.h"

#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <lame/lame.h>

#include <cerrno>
#include <new>
#include <unistd.h>

namespace av {

namespace {

// LAME's advice for the output buffer: 1.25 × samples + 7200 bytes.
std::size_t OutputRoom(int frames) { return std::size_t(frames) * 5 / 4 + 7200; }

}  // namespace

LameMp3Encoder::LameMp3Encoder(const OutputSettings& settings, TargetFile& target)
    : target_(target), channels_(settings.channels), lame_(lame_init())
{
    if (!lame_)
        throw std::bad_alloc();
    // LAME's notes and warnings would go to standard error, which carries only the one
    // line of a failure.
    lame_set_errorf(lame_, nullptr);
    lame_set_msgf(lame_, nullptr);
    lame_set_debugf(lame_, nullptr);
    lame_set_in_samplerate(lame_, settings.sampleRate);
    lame_set_out_samplerate(lame_, settings.sampleRate);
    lame_set_num_channels(lame_, channels_);
    lame_set_mode(lame_, channels_ == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame_, vbr_off);
    lame_set_brate(lame_, settings.bitRate / 1000);
    lame_set_bWriteVbrTag(lame_, 1);
    lame_set_write_id3tag_automatic(lame_, 0);
    if (lame_init_params(lame_) < 0)
        throw ToolError("The MP3 encoder refuses these settings: Invalid argument");
}

LameMp3Encoder::~LameMp3Encoder() { lame_close(lame_); }

void LameMp3Encoder::Encode(float* interleaved, int frames)
{
    left_.resize(std::size_t(frames));
    right_.resize(std::size_t(frames));
    for (std::size_t i = 0; i < std::size_t(frames); ++i) {
        left_[i] = interleaved[i * std::size_t(channels_)];
        right_[i] = interleaved[i * std::size_t(channels_) + std::size_t(channels_ - 1)];
    }
    out_.resize(OutputRoom(frames));
    const int bytes = lame_encode_buffer_ieee_float(lame_, left_.data(), right_.data(), frames, out_.data(),
                                                    int(out_.size()));
    WriteOut(bytes);
}

void LameMp3Encoder::Finish()
{
    out_.resize(OutputRoom(0));
    WriteOut(lame_encode_flush(lame_, out_.data(), int(out_.size())));

    // The Xing/Info frame with the LAME tag, over the frame that LAME kept for it.
    std::vector<unsigned char> tag(lame_get_lametag_frame(lame_, nullptr, 0));
    if (tag.empty() || lame_get_lametag_frame(lame_, tag.data(), tag.size()) != tag.size())
        throw ToolError("Encoding failed: the MP3 encoder gave no LAME tag");
    std::size_t done = 0;
    while (done < tag.size()) {
        const ssize_t n = pwrite(target_.fd(), tag.data() + done, tag.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ToolError(target_.WriteFailure(errno));
        done += std::size_t(n);
    }
}

void LameMp3Encoder::WriteOut(int bytes)
{
    if (bytes < 0)
        throw ToolError("Encoding failed: the MP3 encoder gave error " + std::to_string(bytes));
    WriteToTarget(target_, out_.data(), std::size_t(bytes));
}

}  // namespace av
