#include "encoder/OutputChoice.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace av {

namespace {

const std::vector<int> kAmrNbBitRates = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};

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

}  // namespace av
