#pragma once
// The native MP3 source: a plain Layer III stream (see Mp3Stream.h) decoded with
// libmpg123, fed by us frame by frame, only with frames whose headers have been checked.
//
// Samples are placed on the timeline exactly as encoder/AudioSource.h places FFmpeg's:
// sample i of frame n lies at n × samplesPerFrame + i − delay, and the stream ends where
// the LAME tag's padding begins. A cut late in the file starts decoding half a second
// before it (the frames that fill the bit reservoir), at a frame found by counting
// headers. Prepare walks the headers of every frame the selection needs before anything
// is decoded, so a stream with junk or a change of format there is handed back to the
// FFmpeg source before a single sample has been passed on.
#include "encoder/FileWindow.h"
#include "encoder/Mp3Stream.h"
#include "encoder/SampleSource.h"
#include "media/SourceInput.h"

#include <memory>

namespace av {

class Mp3Source : public SampleSource {
public:
    // Nothing when the file is not a plain MP3 stream. file must outlive the source.
    static std::unique_ptr<Mp3Source> Open(const media::SourceFile& file);

    int sampleRate() const override { return layout_.sampleRate; }
    int channels() const override { return layout_.channels; }
    std::int64_t lengthSamples() const override { return layout_.lengthSamples; }
    bool metAudio() const override { return metAudio_; }
    bool Prepare(const Selection& selection) override;
    std::int64_t ReadSelection(const Selection& selection, const Sink& sink) override;

private:
    Mp3Source(const media::SourceFile& file, const Mp3Layout& layout);

    const media::SourceFile& file_;
    FileWindow window_;
    Mp3Layout layout_;
    bool pastTheEnd_ = false;
    std::int64_t firstFrame_ = 0;      // number of the first frame fed
    std::int64_t firstFramePos_ = 0;   // its byte position
    std::int64_t frameCount_ = 0;      // frames checked from there on
    bool metAudio_ = false;
};

}  // namespace av
