#pragma once
// The loudness of a file's audio, one level for each strip column (a fixed share of a
// second): the peak of the column's samples over all channels, as a magnitude from 0
// (silence) to 32767 (full scale). Time 0 is the first decoded sample, as for the player.
//
// The file is opened through the safe source opening (media/SourceInput.h) and read from
// the top to the end in one pass; a cancel flag set from any thread ends the pass between
// two packets. Most files are decoded whole. MP3 is decoded only in part, as a full decode
// costs as much as playing the file: the side information of each frame tells which frame
// of a column is the loudest, and only that frame (with the frames before it that hold
// its bit reservoir) is decoded; the column takes that frame's peak. A column whose frames
// carry no spectral data at all is silent without decoding.
//
// One thread at a time may use an object.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "media/SourceInput.h"

class ColumnLevels {
public:
    using Level = std::int16_t;
    static constexpr Level kFullScale = 32767;
    // Receives the levels of the next columns, in order, from column 0.
    using Sink = std::function<void(const Level* levels, std::size_t count)>;

    enum class Outcome {
        Complete,   // every column of the audio was handed to the sink
        Cancelled,  // the cancel flag ended the pass
        Failed,     // the file could not be opened or has no decodable audio
    };

    ColumnLevels(std::string path, int columnsPerSecond, media::CancelFlag cancel = nullptr);

    // Reads the whole file and hands the columns' levels to the sink as they are found.
    Outcome Run(const Sink& sink);

private:
    std::string path_;
    int columnsPerSecond_;
    media::CancelFlag cancel_;
};
