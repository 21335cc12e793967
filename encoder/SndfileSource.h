#pragma once
// The native WAV and FLAC source: libsndfile reads the descriptor that media::SourceFile
// opened and checked (through sf_open_virtual: the path is never opened again), seeks to
// the selection's first sample and hands over float samples.
//
// Only what FFmpeg would read the same way is taken: a WAV or FLAC file of one or two
// channels of integer or float PCM at a sample rate from 1000 to 384000 Hz that tells
// its length. Everything else (other containers, A-law, ADPCM, more channels, absurd rates, files that libsndfile
// refuses) is left to the FFmpeg source.
#include "encoder/SampleSource.h"
#include "media/SourceInput.h"

#include <memory>
#include <string>
#include <vector>

struct sf_private_tag;

namespace av {

class SndfileSource : public SampleSource {
public:
    // Nothing when the file is not a WAV or FLAC file of the kind described above.
    static std::unique_ptr<SndfileSource> Open(const media::SourceFile& file);
    ~SndfileSource() override;

    int sampleRate() const override { return sampleRate_; }
    int channels() const override { return channels_; }
    std::int64_t lengthSamples() const override { return frames_; }
    bool metAudio() const override { return metAudio_; }
    bool Prepare(const Selection&) override { return true; }
    std::int64_t ReadSelection(const Selection& selection, const Sink& sink) override;

    // Where libsndfile reads: the descriptor at a position of our own.
    struct Reader {
        int fd = -1;
        std::int64_t size = 0;
        std::int64_t position = 0;
    };

private:
    SndfileSource() = default;

    std::string path_;
    Reader reader_;
    sf_private_tag* file_ = nullptr;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    bool metAudio_ = false;
    std::vector<float> buffer_;
};

}  // namespace av
