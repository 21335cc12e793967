#pragma once
// What the encoders allow, and how a request is fitted to it.
#include "encoder/CommandLine.h"

#include <cstdint>
#include <vector>

namespace av {

// The allowed value nearest to wanted; of two equally near, the higher.
// allowed must not be empty.
int NearestAllowed(int wanted, const std::vector<int>& allowed);

// MPEG audio sample rates that the MP3 encoder accepts.
const std::vector<int>& Mp3SampleRates();

// Sample rates that the AAC and Vorbis outputs are written at.
const std::vector<int>& AacVorbisSampleRates();

// Bit rates in kbit/s that an MP3 stream at this sample rate can have (MPEG 1 at
// 32000 Hz and above, MPEG 2 and 2.5 below).
const std::vector<int>& Mp3BitRatesKbps(int sampleRate);

// The MP3 bit rate in bit/s for a request in kbit/s: the nearest one the stream allows.
int Mp3BitRate(double kbps, int sampleRate);

// AMR narrow-band has eight fixed modes, 4.75 to 12.2 kbit/s. A request takes the
// highest mode at or below it; a request below the lowest mode takes the lowest.
// Returns the mode's bit rate in bit/s.
int AmrNbBitRate(double kbps);

// The mode number (0 to 7) of an AMR-NB bit rate in bit/s, as the frame header carries it.
int AmrNbMode(int bitRate);

constexpr int kAmrNbSampleRate = 8000;

// What the encoder will be given, fitted to what the codec allows.
struct OutputSettings {
    Codec codec = Codec::Mp3;
    Container container = Container::Mp3;
    int sampleRate = 0;
    int channels = 0;
    int bitRate = 0;   // bit/s
};

// AMR-NB encoding delays the signal by the codec's 5 ms look-ahead (40 samples at
// 8000 Hz), and an AMR file has no field that tells a player to skip them. To keep the
// cut on its sample, the encoder is given the selection moved later by that much;
// returns the shift in samples of the source's rate (0 for MP3, whose delay the
// LAME tag declares).
std::int64_t EncoderLeadSamples(const OutputSettings& settings, int sourceRate);

// The settings for a request and a source of the given rate and channel count.
OutputSettings ChooseOutput(const Request& request, int sourceRate, int sourceChannels);

}  // namespace av
