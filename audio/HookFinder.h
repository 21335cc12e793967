#pragma once
// Finds the hook of a song (the part a ringtone should be cut from) in its mono samples.
//
// Method: repetition-based structure analysis on a self-similarity matrix, in the line of
// Foote's similarity matrices, Bartsch & Wakefield's chroma-based chorus finding and
// Goto's RefraiD (the chorus is the section that repeats most), simplified to what a
// ringtone needs: one good start and a ranked list of alternatives.
//  1. Per short frame (2048 samples at 11025 Hz, hop 512): a chroma vector (12 pitch
//     classes from the magnitude spectrum, 60 Hz - 2 kHz), the loudness, eight log-spaced
//     band energies (timbre and "fullness"), and the spectral flux (onset strength).
//  2. Frames are pooled into blocks of about half a second (longer for very long files, so
//     that the matrix never exceeds kMaxBlocks squared): a 10-minute song stays fast.
//  3. Similarity of two blocks: cosine of their chroma with the song's mean chroma taken
//     out (so that a shared key does not make everything alike), mixed with the cosine
//     of their centred band energies. The diagonals of the matrix are smoothed over a few
//     seconds; a stretch of a diagonal that stays similar for long enough is a repetition
//     (a "stripe"): a part of the song heard again at that lag. A part counts as heard
//     again only where one of its stripes lasts at least 12 s: chords or drums that match
//     by chance do so for a few seconds only.
//  4. Each block counts at how many other places of the song it is heard again. The
//     sections heard most often are the chorus; their occurrences are ranked by how
//     loud and full they are and by how typical they are of the others (the mean
//     similarity of their matches), and an occurrence in the first tenth of the song is
//     taken only after the others.
//  5. A start is snapped to the strongest onset from half a second before it to a second
//     after it (a note, chord or drum attack; reaching further back would find a beat of
//     the part before), placed to the sample by a fine energy envelope, so that the ringtone never
//     starts mid-note. Silence at the start or end is never part of a suggestion.
//  A song without any repetition gets its loudest sustained segments instead.
//
// The costly part (features and structure) runs once in the constructor; Suggestions()
// for a ringtone length is cheap and may be asked again for another length.
#include <atomic>
#include <cstddef>
#include <vector>

class HookFinder {
public:
    // The analysis rate the samples are expected at (any rate works; this one is enough).
    static constexpr int kSampleRate = 11025;
    static constexpr std::size_t kMaxBlocks = 1500;

    enum class Reason {
        Chorus,        // the part heard most often
        RepeatedPart,  // a part heard again, less often than the chorus
        Loudest,       // no repetition to go by: the loudest sustained part
    };
    struct Suggestion {
        double begin = 0;   // seconds
        double end = 0;
        Reason reason = Reason::Loudest;
        int heard = 1;      // how many times the part is heard in the song
    };

    // Analyses the song; samples are mono at the given rate. A cancel check, if given, is
    // asked now and then and ends the analysis early (nothing useful is found then).
    HookFinder(const std::vector<float>& samples, int sampleRate, const std::atomic<bool>* cancel = nullptr);

    // The suggestions for a ringtone of the given length, best first; none for a song that
    // is silent throughout. A song no longer than the length gets one: all of its sound.
    std::vector<Suggestion> Suggestions(double lengthSeconds) const;

    double Duration() const { return duration_; }

private:
    struct Candidate {
        std::size_t block = 0;   // start block
        std::size_t endBlock = 0;
        int level = 0;           // how many other places the part is heard at
        int heard = 1;
        double typicality = 0;
    };

    void ComputeFrames(const std::vector<float>& samples, const std::atomic<bool>* cancel);
    void PoolBlocks();
    void FindRepetitions();
    void FindCandidates();
    double Similarity(std::size_t a, std::size_t b) const;
    // The start time of a part that begins near the given block: the strongest onset
    // shortly before or after it.
    double SnapToOnset(double seconds) const;
    double BlockSeconds() const { return double(blockFrames_) * kHop / rate_; }
    // The mean loudness (dB) and fullness of blocks [first, end).
    double MeanLoudness(std::size_t first, std::size_t end) const;
    double MeanFullness(std::size_t first, std::size_t end) const;

    static constexpr int kFrame = 2048;
    static constexpr int kHop = 512;
    static constexpr int kBands = 8;
    static constexpr int kFineHop = 64;

    int rate_;
    double duration_ = 0;
    // Per frame.
    std::vector<float> chroma_;      // 12 per frame
    std::vector<float> power_;       // mean square of the frame's samples
    std::vector<float> bands_;       // kBands per frame, power
    std::vector<float> flux_;
    // A fine loudness envelope (kFineHop samples per value), to place onsets exactly.
    std::vector<float> fineEnergy_;
    // Per block.
    std::size_t blockFrames_ = 1;
    std::size_t blocks_ = 0;
    std::vector<float> blockChroma_;   // 12 per block, centred and normalised
    std::vector<float> blockTimbre_;   // kBands per block, centred and normalised
    std::vector<float> blockDb_;       // loudness in dB
    std::vector<float> blockFullness_;
    std::vector<char> blockSounds_;
    std::size_t soundFirst_ = 0, soundEnd_ = 0;   // blocks with sound: [first, end)
    // Per block: how many other places of the song it is heard at, and how alike the
    // matches are on average.
    std::vector<int> heardAt_;
    std::vector<float> matchStrength_;
    // Per block: the longest repetition (in blocks) it is part of.
    std::vector<std::size_t> longestRepeat_;
    std::vector<Candidate> candidates_;
};
