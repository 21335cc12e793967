#pragma once
// Makes test songs with a known structure: sections of bars in 4/4, each kind of section
// with its own chord progression and melody (the same each time the kind comes back), the
// chorus louder and fuller (a pad and a bass under it, busier drums), in any key, tempo
// and timbre, with or without drums. A plan whose sections are all Unique gives a song
// without any repetition: every section has a progression and melody of its own, and one
// of them (the "loud" one) is louder than the rest.
//
// Plain C++ so that anyone can make more cases; WriteWav stores a song as a 16-bit WAV.
#include <cstdint>
#include <string>
#include <vector>

namespace songs {

enum class Section { Intro, Verse, Chorus, Bridge, Outro, Unique, LoudUnique };

struct SongPlan {
    std::string name;
    double bpm = 120;
    int key = 0;        // semitones above C
    int timbre = 0;     // 0..3: from a soft, nearly pure tone to a bright, buzzy one
    bool drums = true;
    std::vector<Section> sections;
    // Bars of a verse, chorus or bridge; intro and outro get half. 0: 8 below 110 BPM, else 16.
    int bars = 0;
    // Seconds of silence before the first and after the last section.
    double leadingSilence = 0, trailingSilence = 0;
};

struct Song {
    std::vector<float> samples;   // mono
    int rate = 0;
    // Where each section begins, in seconds, in the plan's order.
    std::vector<double> starts;
    std::vector<double> ends;
    std::vector<Section> sections;

    // The starts of every section of one kind.
    std::vector<double> StartsOf(Section kind) const;
    double Duration() const { return double(samples.size()) / rate; }
};

// The usual structure: intro, verse, chorus, verse, chorus, bridge, chorus, outro.
std::vector<Section> PopStructure();

Song Synthesise(const SongPlan& plan, int rate);

// Writes mono 16-bit PCM; false when the file cannot be written.
bool WriteWav(const std::string& path, const std::vector<float>& samples, int rate);

}  // namespace songs
