#pragma once
// Measures a selection's integrated loudness and true peak (ITU-R BS.1770, EBU R128,
// through libebur128) as the encoder will receive it: at the output's sample rate and
// channel count.
#include "encoder/FfmpegPtr.h"
#include "encoder/SampleGuard.h"

#include <ebur128.h>
#include <memory>

namespace av {

class LoudnessMeter {
public:
    LoudnessMeter(int sampleRate, int channels);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Takes count samples of block from offset.
    void Add(const AVFrame& block, int offset, int count);
    // Takes frames samples already at the meter's rate and channel count, interleaved
    // and within full scale (the native path's blocks, see RateConverter.h).
    void Add(const float* interleaved, int frames);

    // After the last block: the integrated loudness in LUFS (-infinity for silence) and
    // the highest true peak of any channel in dBTP (-infinity for silence).
    double IntegratedLoudness();
    double TruePeakDb();

private:
    struct StateDeleter {
        void operator()(ebur128_state* state) const;
    };

    void StartResampler(const AVFrame& block);
    void Push(int count, const std::uint8_t** input);
    void Drain();

    int sampleRate_;
    int channels_;
    std::unique_ptr<ebur128_state, StateDeleter> state_;
    ResamplerPtr resampler_;
    SampleGuard sampleGuard_;
    int inRate_ = 0;
    int inFormat_ = -1;
    int inChannels_ = 0;
    bool drained_ = false;
};

// The highest true peak that a selection made loud may reach, and what is kept below it
// before encoding: lossy coding adds up to about a decibel to the peaks of sharp attacks.
constexpr double kTruePeakCeilingDb = -1.0;
constexpr double kCodingHeadroomDb = 1.0;

// The gain in dB that brings a selection of this loudness to target, lowered where
// needed so that its true peak stays at or below ceiling (both in dB). No gain for a
// silent selection.
double LoudnessGainDb(double loudness, double truePeakDb, double target, double ceiling);

}  // namespace av
