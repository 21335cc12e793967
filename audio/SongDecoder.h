#pragma once
// Decodes a song's audio for the hook finder: mixed to mono and resampled (to
// HookFinder::kSampleRate, 11025 Hz, by default) as floats. The file is opened through
// the safe source opening (media/SourceInput.h); a cancel flag set from any thread ends
// the decoding between two packets. Samples that are not numbers are made silent and
// values beyond full scale are clamped, so that the analysis never sees them.
//
// Only the first kMaxSeconds are decoded: a ringtone is found in a song, and a file of
// hours would otherwise hold hundreds of megabytes of samples.
//
// One thread at a time may use an object.
#include <string>
#include <vector>

#include "media/SourceInput.h"

class SongDecoder {
public:
    static constexpr double kMaxSeconds = 20 * 60;

    enum class Outcome {
        Complete,   // the audio (up to kMaxSeconds) is in the samples
        Cancelled,  // the cancel flag ended the decoding
        Failed,     // the file could not be opened or has no decodable audio
    };

    SongDecoder(std::string path, int sampleRate, media::CancelFlag cancel = nullptr);

    // Decodes the file into samples (emptied first).
    Outcome Run(std::vector<float>& samples);

private:
    std::string path_;
    int sampleRate_;
    media::CancelFlag cancel_;
};
