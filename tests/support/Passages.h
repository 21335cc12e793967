#pragma once
// Audio fixtures for level tests: two seconds of silence, two of a 440 Hz tone at
// -30 dBFS and two at -3 dBFS, made by ffmpeg at test time.
#include <string>
#include <vector>

#include "support/Fixtures.h"

namespace fixtures {

constexpr double kQuietDbfs = -30.0;
constexpr double kLoudDbfs = -3.0;
constexpr int kPassageSeconds = 2;

// The passages in the given channels of the file (0 based; the others stay silent),
// encoded by whatever the target's extension and encoderArgs ask for.
inline bool MakePassages(const std::string& target, int sampleRate, int channels,
                         const std::vector<std::string>& encoderArgs = {}, std::vector<int> soundingChannels = {})
{
    const std::string tone = "if(lt(t,2),0,if(lt(t,4),0.031623,0.707946))*sin(2*PI*440*t)";
    // Quoted in the filter's arguments, where a comma would end the expression.
    std::string expressions;
    for (int channel = 0; channel < channels; ++channel) {
        bool sounds = soundingChannels.empty();
        for (int sounding : soundingChannels)
            sounds = sounds || sounding == channel;
        expressions += (channel ? "|" : "") + (sounds ? tone : std::string("0"));
    }
    std::vector<std::string> args = {"-f", "lavfi", "-i",
                                     "aevalsrc='" + expressions + "':s=" + std::to_string(sampleRate) + ":d=6"};
    args.insert(args.end(), encoderArgs.begin(), encoderArgs.end());
    args.push_back(target);
    return Ffmpeg(args);
}

}  // namespace fixtures
