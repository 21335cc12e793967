#include "encoder/OutputChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace av {

namespace {

const std::vector<int> kAmrNbBitRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};

// The bit rates (kbit/s) of a request that names none.
constexpr double kDefaultMp3Kbps = 128;
constexpr double kDefaultAmrKbps = 12.2;
constexpr double kDefaultAacKbps = 128;
constexpr double kDefaultVorbisKbps = 128;

}  // namespace

int NearestAllowed(int wanted, const std::vector<int>& allowed)
{
    int best = allowed.front();
    for (int value : allowed) {
        long distance = std::labs(long(value) - wanted);
        long bestDistance = std::labs(long(best) - wanted);
        if (distance < bestDistance || (distance == bestDistance && value > best))
            best = value;
    }
    return best;
}

const std::vector<int>& Mp3SampleRates()
{
    static const std::vector<int> rates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return rates;
}

const std::vector<int>& AacVorbisSampleRates()
{
    static const std::vector<int> rates = {8000,  11025, 12000, 16000, 22050, 24000,
                                           32000, 44100, 48000, 64000, 88200, 96000};
    return rates;
}

const std::vector<int>& Mp3BitRatesKbps(int sampleRate)
{
    static const std::vector<int> mpeg1 = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const std::vector<int> mpeg2 = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    return sampleRate >= 32000 ? mpeg1 : mpeg2;
}

int Mp3BitRate(double kbps, int sampleRate)
{
    return NearestAllowed(int(std::lround(kbps)), Mp3BitRatesKbps(sampleRate)) * 1000;
}

int AmrNbBitRate(double kbps)
{
    const double bitsPerSecond = kbps * 1000;
    int chosen = kAmrNbBitRates.front();
    for (int rate : kAmrNbBitRates) {
        if (rate <= bitsPerSecond + 0.5)
            chosen = rate;
    }
    return chosen;
}

int AmrNbMode(int bitRate)
{
    auto it = std::find(kAmrNbBitRates.begin(), kAmrNbBitRates.end(), bitRate);
    return it == kAmrNbBitRates.end() ? -1 : int(std::distance(kAmrNbBitRates.begin(), it));
}

OutputSettings ChooseOutput(const Request& request, int sourceRate, int sourceChannels)
{
    OutputSettings settings;
    settings.codec = request.codec;
    settings.container = request.container;
    const int channels = std::clamp(request.channels.value_or(sourceChannels), 1, 2);
    switch (request.codec) {
    case Codec::Mp3:
        settings.sampleRate = NearestAllowed(request.sampleRate.value_or(sourceRate), Mp3SampleRates());
        settings.channels = channels;
        settings.bitRate = Mp3BitRate(request.bitRateKbps.value_or(kDefaultMp3Kbps), settings.sampleRate);
        break;
    case Codec::AmrNb:
        settings.sampleRate = kAmrNbSampleRate;
        settings.channels = 1;
        settings.bitRate = AmrNbBitRate(request.bitRateKbps.value_or(kDefaultAmrKbps));
        break;
    case Codec::Aac:
    case Codec::Vorbis:
        settings.sampleRate = NearestAllowed(request.sampleRate.value_or(sourceRate), AacVorbisSampleRates());
        settings.channels = channels;
        settings.bitRate = int(std::lround(
            request.bitRateKbps.value_or(request.codec == Codec::Aac ? kDefaultAacKbps : kDefaultVorbisKbps) * 1000));
        break;
    }
    return settings;
}

std::int64_t EncoderLeadSamples(const OutputSettings& settings, int sourceRate)
{
    constexpr int kAmrNbLookAheadMs = 5;
    if (settings.codec != Codec::AmrNb)
        return 0;
    return std::int64_t(sourceRate) * kAmrNbLookAheadMs / 1000;
}

}  // namespace av
