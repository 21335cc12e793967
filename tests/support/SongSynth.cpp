#include "support/SongSynth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

namespace songs {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kTableSize = 2048;
// Major scale steps, and the triads on its degrees.
constexpr int kScale[7] = {0, 2, 4, 5, 7, 9, 11};

// One cycle of a tone of the timbre: harmonics falling off more slowly for brighter timbres.
std::vector<float> WaveTable(int timbre)
{
    const int harmonics[4] = {2, 5, 9, 14};
    const double rolloff[4] = {2.5, 1.6, 1.1, 0.8};
    const int t = std::clamp(timbre, 0, 3);
    std::vector<float> table(kTableSize, 0.0f);
    double peak = 0;
    for (int i = 0; i < kTableSize; ++i) {
        double v = 0;
        for (int h = 1; h <= harmonics[t]; ++h)
            v += std::sin(2 * kPi * h * i / kTableSize) / std::pow(h, rolloff[t]);
        table[std::size_t(i)] = float(v);
        peak = std::max(peak, std::fabs(v));
    }
    for (float& v : table)
        v = float(v / peak);
    return table;
}

double NoteHz(int midi)
{
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

// The MIDI note of a scale degree (any integer; 7 is the octave) above the key's root.
int DegreeNote(int root, int degree)
{
    const int octave = degree >= 0 ? degree / 7 : -((-degree + 6) / 7);
    return root + 12 * octave + kScale[((degree % 7) + 7) % 7];
}

class Mixer {
public:
    Mixer(std::vector<float>& out, int rate) : out_(out), rate_(rate) {}

    // A tone from the table with a short attack, a decay and a release.
    void Note(double start, double length, int midi, double gain, const std::vector<float>& table)
    {
        const std::size_t first = std::size_t(start * rate_);
        const std::size_t count = std::size_t(length * rate_);
        const double step = NoteHz(midi) * kTableSize / rate_;
        const double attack = 0.01 * rate_, release = 0.03 * rate_;
        double phase = 0;
        for (std::size_t i = 0; i < count && first + i < out_.size(); ++i) {
            double envelope = std::min(1.0, double(i) / attack) * (0.6 + 0.4 * std::exp(-double(i) / (0.3 * rate_)));
            if (double(count - i) < release)
                envelope *= double(count - i) / release;
            out_[first + i] += float(gain * envelope * table[std::size_t(phase) % kTableSize]);
            phase += step;
            if (phase >= kTableSize)
                phase -= kTableSize;
        }
    }
    void Kick(double start, double gain)
    {
        const std::size_t first = std::size_t(start * rate_);
        double phase = 0;
        for (std::size_t i = 0; i < std::size_t(0.15 * rate_) && first + i < out_.size(); ++i) {
            const double t = double(i) / rate_;
            phase += 2 * kPi * (50 + 70 * std::exp(-t / 0.03)) / rate_;
            out_[first + i] += float(gain * std::exp(-t / 0.05) * std::sin(phase));
        }
    }
    // Noise with a decay; bright noise (a hi-hat) is the difference of neighbouring values.
    void Noise(double start, double decay, double gain, bool bright)
    {
        const std::size_t first = std::size_t(start * rate_);
        float last = 0;
        for (std::size_t i = 0; i < std::size_t(4 * decay * rate_) && first + i < out_.size(); ++i) {
            const float white = noise_(random_);
            const float v = bright ? white - last : white;
            last = white;
            out_[first + i] += float(gain * std::exp(-double(i) / (decay * rate_)) * v);
        }
    }

private:
    std::vector<float>& out_;
    int rate_;
    std::mt19937 random_{7};
    std::uniform_real_distribution<float> noise_{-1.0f, 1.0f};
};

struct SectionMusic {
    std::vector<int> chords;   // a degree per bar, repeated over the section if shorter
    std::vector<int> melody;   // a degree per beat over the whole section
    double gain = 0.5;
    bool full = false;         // pad, bass and busy drums
    int keyShift = 0;          // semitones: each section of a song without repetition has a key of its own
};

SectionMusic MusicOf(Section kind, int bars, unsigned uniqueSeed)
{
    SectionMusic music;
    unsigned seed = 0;
    switch (kind) {
    case Section::Intro:
    case Section::Outro:
        music.chords = {0, 3};
        music.gain = 0.35;
        seed = 11;
        break;
    case Section::Verse:
        music.chords = {0, 2, 3, 1};
        seed = 23;
        break;
    case Section::Chorus:
        music.chords = {3, 4, 0, 5};
        music.gain = 1.0;
        music.full = true;
        seed = 37;
        break;
    case Section::Bridge:
        music.chords = {1, 4, 2, 5};
        music.gain = 0.6;
        seed = 51;
        break;
    case Section::Unique:
    case Section::LoudUnique: {
        std::mt19937 random(uniqueSeed);
        for (int i = 0; i < bars; ++i)
            music.chords.push_back(int(random() % 7));
        music.gain = kind == Section::LoudUnique ? 1.0 : 0.4;
        music.full = kind == Section::LoudUnique;
        music.keyShift = int(uniqueSeed * 5 % 12);
        seed = uniqueSeed * 7 + 3;
        break;
    }
    }
    std::mt19937 random(seed);
    int degree = 4;
    for (int beat = 0; beat < bars * 4; ++beat) {
        degree = std::clamp(degree + int(random() % 5) - 2, 0, 9);
        music.melody.push_back(degree);
    }
    return music;
}

}  // namespace

std::vector<double> Song::StartsOf(Section kind) const
{
    std::vector<double> found;
    for (std::size_t i = 0; i < sections.size(); ++i)
        if (sections[i] == kind)
            found.push_back(starts[i]);
    return found;
}

std::vector<Section> PopStructure()
{
    return {Section::Intro,  Section::Verse,  Section::Chorus, Section::Verse,
            Section::Chorus, Section::Bridge, Section::Chorus, Section::Outro};
}

Song Synthesise(const SongPlan& plan, int rate)
{
    Song song;
    song.rate = rate;
    song.sections = plan.sections;
    const int bars = plan.bars > 0 ? plan.bars : plan.bpm < 110 ? 8 : 16;
    const double beat = 60.0 / plan.bpm, bar = 4 * beat;
    double at = plan.leadingSilence;
    for (Section s : plan.sections) {
        const int sectionBars = s == Section::Intro || s == Section::Outro ? bars / 2 : bars;
        song.starts.push_back(at);
        at += sectionBars * bar;
        song.ends.push_back(at);
    }
    song.samples.assign(std::size_t((at + plan.trailingSilence) * rate) + 1, 0.0f);
    Mixer mix(song.samples, rate);
    const std::vector<float> lead = WaveTable(plan.timbre), soft = WaveTable(0), bright = WaveTable(3);

    for (std::size_t i = 0; i < plan.sections.size(); ++i) {
        const Section kind = plan.sections[i];
        const int sectionBars = kind == Section::Intro || kind == Section::Outro ? bars / 2 : bars;
        const SectionMusic music = MusicOf(kind, sectionBars, unsigned(i) + 1);
        const double g = music.gain;
        const int root = 48 + (plan.key + music.keyShift) % 12;
        for (int b = 0; b < sectionBars; ++b) {
            const double barStart = song.starts[i] + b * bar;
            const int chord = music.chords[std::size_t(b) % music.chords.size()];
            // The chord, held over the bar, and struck again at its middle.
            for (int half = 0; half < 2; ++half)
                for (int n = 0; n < 3; ++n)
                    mix.Note(barStart + half * 2 * beat, 2 * beat, DegreeNote(root, chord + 2 * n), 0.12 * g, lead);
            if (music.full) {
                for (int n = 0; n < 3; ++n)
                    mix.Note(barStart, bar, DegreeNote(root + 12, chord + 2 * n), 0.06 * g, bright);
                for (int q = 0; q < 4; ++q)
                    mix.Note(barStart + q * beat, beat, DegreeNote(root - 12, chord), 0.2 * g, soft);
            }
            for (int q = 0; q < 4; ++q) {
                const int degree = music.melody[std::size_t(b * 4 + q)];
                mix.Note(barStart + q * beat, beat * 0.9, DegreeNote(root + 12, degree), 0.18 * g, lead);
                if (!plan.drums)
                    continue;
                if (q % 2 == 0)
                    mix.Kick(barStart + q * beat, 0.5 * g);
                else
                    mix.Noise(barStart + q * beat, 0.08, 0.25 * g, false);
                mix.Noise(barStart + q * beat, 0.02, 0.1 * g, true);
                if (music.full)
                    mix.Noise(barStart + (q + 0.5) * beat, 0.02, 0.1 * g, true);
            }
        }
    }
    float peak = 0;
    for (float v : song.samples)
        peak = std::max(peak, std::fabs(v));
    if (peak > 0)
        for (float& v : song.samples)
            v *= 0.9f / peak;
    return song;
}

bool WriteWav(const std::string& path, const std::vector<float>& samples, int rate)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        return false;
    auto u32 = [&](std::uint32_t v) {
        const unsigned char b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, file.get());
    };
    auto u16 = [&](std::uint16_t v) {
        const unsigned char b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, file.get());
    };
    const std::uint32_t bytes = std::uint32_t(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, file.get());
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, file.get());
    u32(16);
    u16(1);
    u16(1);
    u32(std::uint32_t(rate));
    u32(std::uint32_t(rate) * 2);
    u16(2);
    u16(16);
    std::fwrite("data", 1, 4, file.get());
    u32(bytes);
    for (float v : samples) {
        const long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        u16(std::uint16_t(std::int16_t(s)));
    }
    return std::ferror(file.get()) == 0;
}

}  // namespace songs
