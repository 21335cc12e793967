#include "audio/HookFinder.h"

#include "audio/FftwLibrary.h"

#include <fftw3.h>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <stdexcept>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Chroma is taken from the range where the notes of chords and melodies lie.
constexpr double kChromaLow = 60, kChromaHigh = 2000;
constexpr double kBandLow = 60, kBandHigh = 5000;
// Only magnitudes up to here count for the onset strength.
constexpr double kFluxHigh = 4000;
// A block is silent below this loudness, or this far below the song's loudest block.
constexpr double kSilenceDb = -60, kSilenceBelowLoudestDb = 45;
// Seconds: the smoothing along a diagonal, the shortest lag and the shortest stretch that
// count as a repetition, and how close two lags must be to be one repetition.
constexpr double kSmoothSeconds = 3, kMinLagSeconds = 6, kMinRepeatSeconds = 6, kLagClusterSeconds = 1.5;
// Smoothed similarity for a repetition, and raw similarity at its ends.
constexpr double kRepeatThreshold = 0.55, kEdgeThreshold = 0.4;
// How far a block's chroma (shares of its pitch content) and band energies (dB) must lie
// from the song's mean to tell anything about it.
constexpr double kMinChromaDeviation = 0.02, kMinTimbreDeviationDb = 1.0;
// The weight of chroma against timbre in the similarity of two blocks.
constexpr double kChromaWeight = 0.7;
// Onsets are looked for this far before and after a start found on the block grid. The
// block that starts a repetition holds its first attack or lies just before it, so the
// search reaches little back: a beat of the part before would be as strong.
constexpr double kSnapBefore = 0.5, kSnapAfter = 1.0;
// A part counts as heard again only where some repetition of it lasts this long: chords
// or drums that match by chance do so for a few seconds, a part of the song that comes
// back does so for most of its length.
constexpr double kMinPartRepeatSeconds = 12;
// The share of a level's count that a block of the part needs.
constexpr double kLevelShare = 0.7;
// Occurrences of a part this close together are one.
constexpr double kMergeGapSeconds = 4;
// Starts closer than this are one suggestion.
constexpr double kSameStartSeconds = 2;

// FFTW's planner keeps global state: plans are made and destroyed one at a time.
std::mutex& PlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}

struct FftwFree {
    void operator()(void* p) const { fftwf_free(p); }
};

// A real-to-complex transform of a fixed size, with its own buffers.
class Spectrum {
public:
    explicit Spectrum(int size)
        : size_(size),
          in_(static_cast<float*>(fftwf_malloc(sizeof(float) * std::size_t(size)))),
          out_(static_cast<fftwf_complex*>(fftwf_malloc(sizeof(fftwf_complex) * std::size_t(size / 2 + 1))))
    {
        if (!in_ || !out_)
            throw std::bad_alloc();
        std::lock_guard<std::mutex> lock(PlannerMutex());
        plan_ = fftwf_plan_dft_r2c_1d(size, in_.get(), reinterpret_cast<fftwf_complex*>(out_.get()), FFTW_ESTIMATE);
        if (!plan_)
            throw std::bad_alloc();
    }
    ~Spectrum()
    {
        std::lock_guard<std::mutex> lock(PlannerMutex());
        fftwf_destroy_plan(plan_);
    }
    Spectrum(const Spectrum&) = delete;
    Spectrum& operator=(const Spectrum&) = delete;

    float* input() { return in_.get(); }
    // Transforms the input; magnitudes of bins 0 .. size/2 into mags.
    void Magnitudes(std::vector<float>& mags)
    {
        fftwf_execute(plan_);
        const auto* out = reinterpret_cast<const fftwf_complex*>(out_.get());
        mags.resize(std::size_t(size_ / 2 + 1));
        for (std::size_t k = 0; k < mags.size(); ++k)
            mags[k] = std::sqrt(out[k][0] * out[k][0] + out[k][1] * out[k][1]);
    }

private:
    int size_;
    std::unique_ptr<float, FftwFree> in_;
    std::unique_ptr<void, FftwFree> out_;
    fftwf_plan plan_ = nullptr;
};

double ToDb(double power)
{
    return 10.0 * std::log10(power + 1e-12);
}

// Scales a vector to unit length; a vector shorter than minLength (no more than rounding
// noise) becomes all zeros.
void Normalise(float* v, int n, double minLength = 1e-9)
{
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += double(v[i]) * v[i];
    const double length = std::sqrt(sum);
    for (int i = 0; i < n; ++i)
        v[i] = length > minLength ? float(v[i] / length) : 0.0f;
}

double Dot(const float* a, const float* b, int n)
{
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += double(a[i]) * b[i];
    return sum;
}

// Takes the mean over the sounding blocks out of each of n dimensions, then normalises.
// A block that lies closer than minLength to the mean has nothing of its own (a steady
// tone throughout): it stays all zeros, alike to nothing.
void CentreAndNormalise(std::vector<float>& values, int n, const std::vector<char>& sounds, double minLength)
{
    std::vector<double> mean(std::size_t(n), 0.0);
    std::size_t counted = 0;
    for (std::size_t b = 0; b < sounds.size(); ++b) {
        if (!sounds[b])
            continue;
        for (int i = 0; i < n; ++i)
            mean[std::size_t(i)] += values[b * std::size_t(n) + std::size_t(i)];
        ++counted;
    }
    for (double& m : mean)
        m /= double(std::max<std::size_t>(counted, 1));
    for (std::size_t b = 0; b < sounds.size(); ++b) {
        float* v = &values[b * std::size_t(n)];
        for (int i = 0; i < n; ++i)
            v[i] = sounds[b] ? float(v[i] - mean[std::size_t(i)]) : 0.0f;
        Normalise(v, n, minLength);
    }
}

}  // namespace

HookFinder::HookFinder(const std::vector<float>& samples, int sampleRate, const std::atomic<bool>* cancel)
    : rate_(std::max(sampleRate, 1))
{
    // FFTW is opened by the first analysis, not at the program's start.
    std::string why;
    if (!audio::LoadFftw(&why))
        throw std::runtime_error("FFTW cannot be loaded (" + why + ")");
    duration_ = double(samples.size()) / rate_;
    ComputeFrames(samples, cancel);
    if (cancel && cancel->load())
        return;
    PoolBlocks();
    FindRepetitions();
    FindCandidates();
}

void HookFinder::ComputeFrames(const std::vector<float>& samples, const std::atomic<bool>* cancel)
{
    const std::size_t n = samples.size();
    if (n == 0)
        return;
    const std::size_t frames = n <= std::size_t(kFrame) ? 1 : 1 + (n - kFrame + kHop - 1) / kHop;
    const std::size_t bins = kFrame / 2 + 1;
    const double binHz = double(rate_) / kFrame;

    std::vector<int> pitchClass(bins, -1);
    std::vector<int> band(bins, -1);
    std::size_t fluxBins = 0;
    const double bandHigh = std::min(kBandHigh, rate_ / 2.0);
    for (std::size_t k = 1; k < bins; ++k) {
        const double hz = double(k) * binHz;
        if (hz >= kChromaLow && hz <= kChromaHigh) {
            const long midi = std::lround(12.0 * std::log2(hz / 440.0)) + 69;
            pitchClass[k] = int(((midi % 12) + 12) % 12);
        }
        if (hz >= kBandLow && hz < bandHigh)
            band[k] = std::min(kBands - 1, int(kBands * std::log(hz / kBandLow) / std::log(bandHigh / kBandLow)));
        if (hz <= kFluxHigh)
            fluxBins = k + 1;
    }
    std::vector<float> window(kFrame);
    for (int i = 0; i < kFrame; ++i)
        window[std::size_t(i)] = float(0.5 - 0.5 * std::cos(2 * kPi * i / (kFrame - 1)));

    chroma_.assign(frames * 12, 0.0f);
    bands_.assign(frames * kBands, 0.0f);
    power_.assign(frames, 0.0f);
    flux_.assign(frames, 0.0f);
    Spectrum spectrum(kFrame);
    std::vector<float> mags, logMags(bins, 0.0f);
    for (std::size_t f = 0; f < frames; ++f) {
        if ((f & 255) == 0 && cancel && cancel->load())
            return;
        const std::size_t first = f * kHop;
        float* in = spectrum.input();
        double power = 0;
        for (int i = 0; i < kFrame; ++i) {
            const std::size_t at = first + std::size_t(i);
            const float v = at < n ? samples[at] : 0.0f;
            power += double(v) * v;
            in[i] = v * window[std::size_t(i)];
        }
        power_[f] = float(power / kFrame);
        spectrum.Magnitudes(mags);
        float* chroma = &chroma_[f * 12];
        float* bandPower = &bands_[f * kBands];
        double flux = 0;
        for (std::size_t k = 1; k < bins; ++k) {
            const float m = mags[k];
            if (pitchClass[k] >= 0)
                chroma[pitchClass[k]] += m;
            if (band[k] >= 0)
                bandPower[band[k]] += m * m;
            if (k < fluxBins) {
                const float logMag = std::log1p(10.0f * m);
                flux += std::max(0.0f, logMag - logMags[k]);
                logMags[k] = logMag;
            }
        }
        flux_[f] = f == 0 ? 0.0f : float(flux);
    }

    fineEnergy_.assign((n + kFineHop - 1) / kFineHop, 0.0f);
    for (std::size_t i = 0; i < n; ++i)
        fineEnergy_[i / kFineHop] += samples[i] * samples[i] / kFineHop;
}

void HookFinder::PoolBlocks()
{
    const std::size_t frames = power_.size();
    if (frames == 0)
        return;
    // About half a second; longer when the song is so long that the matrix would grow.
    blockFrames_ = std::max<std::size_t>(std::size_t(std::lround(0.5 * rate_ / kHop)),
                                         (frames + kMaxBlocks - 1) / kMaxBlocks);
    blocks_ = (frames + blockFrames_ - 1) / blockFrames_;
    blockChroma_.assign(blocks_ * 12, 0.0f);
    blockTimbre_.assign(blocks_ * kBands, 0.0f);
    blockDb_.assign(blocks_, 0.0f);
    blockFullness_.assign(blocks_, 0.0f);
    blockSounds_.assign(blocks_, 0);
    std::vector<double> bandPower(kBands);
    for (std::size_t b = 0; b < blocks_; ++b) {
        const std::size_t first = b * blockFrames_, end = std::min(frames, first + blockFrames_);
        double power = 0;
        std::fill(bandPower.begin(), bandPower.end(), 0.0);
        for (std::size_t f = first; f < end; ++f) {
            power += power_[f];
            for (int c = 0; c < 12; ++c)
                blockChroma_[b * 12 + std::size_t(c)] += chroma_[f * 12 + std::size_t(c)];
            for (int i = 0; i < kBands; ++i)
                bandPower[std::size_t(i)] += bands_[f * kBands + std::size_t(i)];
        }
        blockDb_[b] = float(ToDb(power / double(end - first)));
        const double loudestBand = ToDb(*std::max_element(bandPower.begin(), bandPower.end()));
        int full = 0;
        for (int i = 0; i < kBands; ++i) {
            const double db = ToDb(bandPower[std::size_t(i)]);
            blockTimbre_[b * kBands + std::size_t(i)] = float(db);
            full += db >= loudestBand - 20 ? 1 : 0;
        }
        blockFullness_[b] = float(full) / kBands;
        // Chroma as shares of the block's pitch content.
        float* c = &blockChroma_[b * 12];
        const float sum = std::accumulate(c, c + 12, 0.0f);
        for (int i = 0; i < 12; ++i)
            c[i] = sum > 0 ? c[i] / sum : 0.0f;
    }
    const float loudest = *std::max_element(blockDb_.begin(), blockDb_.end());
    for (std::size_t b = 0; b < blocks_; ++b)
        blockSounds_[b] = blockDb_[b] > kSilenceDb && blockDb_[b] > loudest - kSilenceBelowLoudestDb;
    soundFirst_ = blocks_;
    for (std::size_t b = 0; b < blocks_; ++b)
        if (blockSounds_[b]) {
            soundFirst_ = std::min(soundFirst_, b);
            soundEnd_ = b + 1;
        }
    CentreAndNormalise(blockChroma_, 12, blockSounds_, kMinChromaDeviation);
    CentreAndNormalise(blockTimbre_, kBands, blockSounds_, kMinTimbreDeviationDb);
}

double HookFinder::Similarity(std::size_t a, std::size_t b) const
{
    if (!blockSounds_[a] || !blockSounds_[b])
        return 0;
    return kChromaWeight * Dot(&blockChroma_[a * 12], &blockChroma_[b * 12], 12) +
           (1 - kChromaWeight) * Dot(&blockTimbre_[a * kBands], &blockTimbre_[b * kBands], kBands);
}

void HookFinder::FindRepetitions()
{
    heardAt_.assign(blocks_, 0);
    matchStrength_.assign(blocks_, 0.0f);
    longestRepeat_.assign(blocks_, 0);
    if (blocks_ == 0)
        return;
    const double seconds = BlockSeconds();
    const std::size_t smooth = std::max<std::size_t>(2, std::size_t(std::lround(kSmoothSeconds / seconds)));
    const std::size_t minLag = std::max<std::size_t>(2, std::size_t(std::lround(kMinLagSeconds / seconds)));
    const std::size_t minRepeat = std::max<std::size_t>(2, std::size_t(std::lround(kMinRepeatSeconds / seconds)));
    const int lagCluster = std::max(1, int(std::lround(kLagClusterSeconds / seconds)));

    std::vector<std::vector<int>> lags(blocks_);
    std::vector<double> strengthSum(blocks_, 0.0);
    std::vector<double> diagonal, sums;
    for (std::size_t lag = minLag; lag < blocks_; ++lag) {
        const std::size_t n = blocks_ - lag;
        diagonal.resize(n);
        sums.assign(n + 1, 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            diagonal[i] = Similarity(i, i + lag);
            sums[i + 1] = sums[i] + diagonal[i];
        }
        auto smoothed = [&](std::size_t i) {
            const std::size_t end = std::min(n, i + smooth);
            return (sums[end] - sums[i]) / double(end - i);
        };
        for (std::size_t i = 0; i < n;) {
            if (smoothed(i) < kRepeatThreshold) {
                ++i;
                continue;
            }
            std::size_t runEnd = i;
            while (runEnd < n && smoothed(runEnd) >= kRepeatThreshold)
                ++runEnd;
            // The smoothing reaches ahead: the repetition lies where the raw similarity
            // is high at its edges.
            std::size_t first = i;
            while (first + 1 < std::min(n, i + smooth) && diagonal[first] < kEdgeThreshold)
                ++first;
            std::size_t end = std::min(n, runEnd + smooth - 1);
            while (end > runEnd && diagonal[end - 1] < kEdgeThreshold)
                --end;
            if (end > first && end - first >= minRepeat) {
                const std::size_t length = end - first;
                for (std::size_t b = first; b < end; ++b) {
                    lags[b].push_back(int(lag));
                    lags[b + lag].push_back(-int(lag));
                    strengthSum[b] += diagonal[b];
                    strengthSum[b + lag] += diagonal[b];
                    longestRepeat_[b] = std::max(longestRepeat_[b], length);
                    longestRepeat_[b + lag] = std::max(longestRepeat_[b + lag], length);
                }
            }
            i = runEnd;
        }
    }
    // Neighbouring lags are one repetition (a held chord is alike at a range of lags).
    for (std::size_t b = 0; b < blocks_; ++b) {
        std::vector<int>& l = lags[b];
        if (l.empty())
            continue;
        std::sort(l.begin(), l.end());
        int places = 1;
        for (std::size_t i = 1; i < l.size(); ++i)
            places += l[i] - l[i - 1] > lagCluster ? 1 : 0;
        heardAt_[b] = places;
        matchStrength_[b] = float(strengthSum[b] / double(l.size()));
    }
    // A single block's count that differs from both neighbours is noise.
    std::vector<int> counts = heardAt_;
    for (std::size_t b = 1; b + 1 < blocks_; ++b) {
        int three[3] = {counts[b - 1], counts[b], counts[b + 1]};
        std::sort(three, three + 3);
        heardAt_[b] = three[1];
    }
}

void HookFinder::FindCandidates()
{
    candidates_.clear();
    if (blocks_ == 0)
        return;
    const double seconds = BlockSeconds();
    const std::size_t minSection = std::max<std::size_t>(2, std::size_t(std::lround(kMinRepeatSeconds / seconds)));
    const std::size_t sameStart = std::size_t(std::lround(kSameStartSeconds / seconds));
    const std::size_t mergeGap = std::size_t(std::lround(kMergeGapSeconds / seconds));
    const std::size_t minPartRepeat = std::size_t(std::lround(kMinPartRepeatSeconds / seconds));
    const int most = *std::max_element(heardAt_.begin(), heardAt_.end());
    // A part that repeats within itself (a chorus that plays its chords twice) has counts
    // that vary over its length: a part spans the blocks heard at least a share of the
    // level's count.
    for (int level = int(std::ceil(kLevelShare * most)); level >= 1;
         level = std::min(level - 1, int(std::ceil(kLevelShare * level)))) {
        std::vector<Candidate> runs;
        for (std::size_t b = 0; b < blocks_;) {
            if (heardAt_[b] < level || !blockSounds_[b]) {
                ++b;
                continue;
            }
            std::size_t end = b;
            double strength = 0;
            while (end < blocks_ && heardAt_[end] >= level && blockSounds_[end])
                strength += matchStrength_[end++];
            runs.push_back({b, end, level, 1, strength / double(end - b)});
            b = end;
        }
        // A short dip inside an occurrence (a bar that differs) does not split it.
        std::vector<Candidate> merged;
        for (const Candidate& run : runs) {
            if (!merged.empty() && run.block - merged.back().endBlock <= mergeGap) {
                Candidate& last = merged.back();
                const double blocks = double(last.endBlock - last.block), more = double(run.endBlock - run.block);
                last.typicality = (last.typicality * blocks + run.typicality * more) / (blocks + more);
                last.endBlock = run.endBlock;
            } else {
                merged.push_back(run);
            }
        }
        runs.clear();
        std::copy_if(merged.begin(), merged.end(), std::back_inserter(runs), [&](const Candidate& run) {
            return run.endBlock - run.block >= minSection &&
                   *std::max_element(longestRepeat_.begin() + std::ptrdiff_t(run.block),
                                     longestRepeat_.begin() + std::ptrdiff_t(run.endBlock)) >= minPartRepeat;
        });
        for (Candidate& run : runs) {
            run.heard = runs.size() >= 2 ? int(runs.size()) : level + 1;
            const bool known = std::any_of(candidates_.begin(), candidates_.end(), [&](const Candidate& c) {
                return (c.block > run.block ? c.block - run.block : run.block - c.block) <= sameStart;
            });
            if (!known)
                candidates_.push_back(run);
        }
    }
}

double HookFinder::MeanLoudness(std::size_t first, std::size_t end) const
{
    end = std::min(end, blocks_);
    if (end <= first)
        return kSilenceDb;
    double sum = 0;
    for (std::size_t b = first; b < end; ++b)
        sum += blockDb_[b];
    return sum / double(end - first);
}

double HookFinder::MeanFullness(std::size_t first, std::size_t end) const
{
    end = std::min(end, blocks_);
    if (end <= first)
        return 0;
    double sum = 0;
    for (std::size_t b = first; b < end; ++b)
        sum += blockFullness_[b];
    return sum / double(end - first);
}

double HookFinder::SnapToOnset(double seconds) const
{
    const double frameSeconds = double(kHop) / rate_;
    const double centre = 0.5 * kFrame / rate_;
    // The frame whose flux rises most near the start: a frame's window is centred on the
    // attack it reports.
    const long firstFrame = std::max(0L, std::lround((seconds - kSnapBefore - centre) / frameSeconds));
    const long endFrame = std::min(long(flux_.size()), std::lround((seconds + kSnapAfter - centre) / frameSeconds) + 1);
    long best = -1;
    for (long f = firstFrame; f < endFrame; ++f)
        if (best < 0 || flux_[std::size_t(f)] > flux_[std::size_t(best)])
            best = f;
    if (best < 0)
        return std::max(0.0, seconds);
    // The attack itself: the steepest rise of the fine envelope within that frame's window.
    const std::size_t fineFirst = std::size_t(best) * kHop / kFineHop + 2;
    const std::size_t fineEnd = std::min(fineEnergy_.size(), (std::size_t(best) * kHop + kFrame) / kFineHop);
    std::size_t attack = fineFirst;
    double steepest = -1e9;
    for (std::size_t i = fineFirst; i < fineEnd; ++i) {
        const double rise = ToDb(fineEnergy_[i]) - ToDb(fineEnergy_[i - 2]);
        if (rise > steepest) {
            steepest = rise;
            attack = i - 1;
        }
    }
    // A few milliseconds ahead of the attack, so that it is heard whole.
    return std::max(0.0, double(attack * kFineHop) / rate_ - 0.01);
}

std::vector<HookFinder::Suggestion> HookFinder::Suggestions(double lengthSeconds) const
{
    std::vector<Suggestion> found;
    if (blocks_ == 0 || soundEnd_ <= soundFirst_)
        return found;
    const double seconds = BlockSeconds();
    // Where the sound begins and ends, to the fine envelope's step.
    const double loudestDb = *std::max_element(blockDb_.begin(), blockDb_.end());
    const double floorDb = std::max(kSilenceDb, loudestDb - kSilenceBelowLoudestDb);
    std::size_t fineFirst = 0, fineEnd = fineEnergy_.size();
    while (fineFirst < fineEnd && ToDb(fineEnergy_[fineFirst]) <= floorDb)
        ++fineFirst;
    while (fineEnd > fineFirst && ToDb(fineEnergy_[fineEnd - 1]) <= floorDb)
        --fineEnd;
    const double soundBegin = double(fineFirst * kFineHop) / rate_;
    const double soundEnd = std::min(duration_, double(fineEnd * kFineHop) / rate_);
    if (soundEnd - soundBegin <= lengthSeconds) {
        found.push_back({soundBegin, soundEnd, Reason::Loudest, 1});
        return found;
    }

    struct Ranked {
        Suggestion suggestion;
        double score;
    };
    std::vector<Ranked> ranked;
    const std::size_t lengthBlocks = std::max<std::size_t>(1, std::size_t(std::lround(lengthSeconds / seconds)));
    const int most = candidates_.empty() ? 0 : candidates_.front().level;
    for (const Candidate& c : candidates_) {
        const double begin = std::max(soundBegin, SnapToOnset(double(c.block) * seconds));
        const double end = std::min(begin + lengthSeconds, soundEnd);
        const std::size_t judged = std::min(c.endBlock, c.block + lengthBlocks);
        double score = 100.0 * c.level;
        score += MeanLoudness(c.block, judged) - loudestDb;   // 0 for the loudest, below 0 for others
        score += 20.0 * MeanFullness(c.block, judged);
        score += 20.0 * c.typicality;
        if (begin < 0.1 * duration_)
            score -= 60;   // the song's opening only when nothing later repeats as often
        if (end - begin < lengthSeconds - 0.5)
            score -= 30;   // a ringtone cut short by the song's end
        const Reason reason = c.level == most ? Reason::Chorus : Reason::RepeatedPart;
        ranked.push_back({{begin, end, reason, c.heard}, score});
    }
    std::stable_sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) { return a.score > b.score; });
    for (const Ranked& r : ranked)
        found.push_back(r.suggestion);

    // The loudest sustained stretches: the answer for a song without repetition, and
    // further choices after the repeated parts.
    std::vector<std::pair<double, std::size_t>> windows;
    for (std::size_t b = soundFirst_; b + lengthBlocks <= soundEnd_; ++b)
        windows.push_back({MeanLoudness(b, b + lengthBlocks), b});
    std::stable_sort(windows.begin(), windows.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::size_t> taken;
    for (const auto& [loudness, b] : windows) {
        if (taken.size() >= 3)
            break;
        const bool overlaps = std::any_of(taken.begin(), taken.end(), [&, b = b](std::size_t t) {
            return (t > b ? t - b : b - t) < lengthBlocks;
        });
        if (overlaps)
            continue;
        taken.push_back(b);
        // The start of the stretch is snapped; the stretch is judged from there on.
        const double begin = std::max(soundBegin, SnapToOnset(double(b) * seconds));
        found.push_back({begin, std::min(begin + lengthSeconds, soundEnd), Reason::Loudest, 1});
    }
    // One suggestion per start.
    std::vector<Suggestion> distinct;
    for (const Suggestion& s : found) {
        const bool known = std::any_of(distinct.begin(), distinct.end(), [&](const Suggestion& d) {
            return std::fabs(d.begin - s.begin) < kSameStartSeconds;
        });
        if (!known)
            distinct.push_back(s);
    }
    return distinct;
}
