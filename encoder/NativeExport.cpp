#include "encoder/NativeExport.h"

#include "encoder/AmrNbEncoder.h"
#include "encoder/LameMp3Encoder.h"
#include "encoder/LevelShape.h"
#include "encoder/LoudnessMeter.h"
#include "encoder/ProgressChannel.h"
#include "encoder/ReadAhead.h"
#include "encoder/RateConverter.h"
#include "encoder/SampleGuard.h"
#include "encoder/ShapedFeed.h"
#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace av {

namespace {

// Reads the selection through a rate converter into sink (at the output's rate and
// channel count); NaN and samples beyond full scale are mended before conversion.
std::int64_t ReadConverted(SampleSource& source, const Selection& selection, const OutputSettings& settings,
                           ProgressChannel& progress, const RateConverter::Sink& sink)
{
    RateConverter converter(source.sampleRate(), source.channels(), settings.sampleRate, settings.channels);
    const std::int64_t taken = source.ReadSelection(selection, [&](const SampleBlock& block) {
        LimitToFullScale(block.samples, std::size_t(block.frames) * std::size_t(block.channels));
        converter.Push(block, sink);
        progress.Advance(block.frames);
    });
    converter.Flush(sink);
    return taken;
}

}  // namespace

bool NativeEncoderFor(const Request& request)
{
    return (request.codec == Codec::Mp3 && request.container == Container::Mp3) ||
           (request.codec == Codec::AmrNb && request.container == Container::Amr);
}

void RunNativeExport(const Request& request, const OutputSettings& settings, const Selection& selection,
                     SampleSource& source)
{
    ProgressChannel progress = ProgressChannel::FromEnvironment();
    const std::int64_t sourceEnd = source.lengthSamples() > 0 ? source.lengthSamples() : Selection::kToTheEnd;
    const int passes = request.loudnessLufs ? 2 : 1;
    if (sourceEnd != Selection::kToTheEnd || selection.end != Selection::kToTheEnd)
        progress.SetTotal(passes * (std::min(selection.end, sourceEnd) - std::min(selection.begin, sourceEnd)));

    double gain = 1.0;
    if (request.loudnessLufs) {
        LoudnessMeter meter(settings.sampleRate, settings.channels);
        ReadConverted(source, selection, settings, progress,
                      [&](const float* samples, int frames) { meter.Add(samples, frames); });
        const double gainDb = LoudnessGainDb(meter.IntegratedLoudness(), meter.TruePeakDb(), *request.loudnessLufs,
                                             kTruePeakCeilingDb - kCodingHeadroomDb);
        gain = std::pow(10.0, gainDb / 20);
    }
    const std::int64_t fadeSamples = std::int64_t(request.fadeMs.value_or(0)) * settings.sampleRate / 1000;

    TargetFile target(request.target);
    std::unique_ptr<FrameEncoder> encoder;
    if (settings.codec == Codec::AmrNb)
        encoder = std::make_unique<AmrNbEncoder>(settings, target);
    else
        encoder = std::make_unique<LameMp3Encoder>(settings, target);
    ShapedFeed feed(*encoder, LevelShape(gain, fadeSamples), settings.channels);
    // Decoding runs beside the encoder, which takes most of the time.
    const std::int64_t taken = ReadAhead(
        settings.channels,
        [&](const SampleSink& sink) { return ReadConverted(source, selection, settings, progress, sink); },
        [&](const float* samples, int frames) { feed.Write(samples, frames); });
    if (taken == 0 && !source.metAudio())
        throw ToolError("The source holds no audio that can be decoded");
    if (taken == 0)
        throw ToolError("The selection is empty: the start lies beyond the end of the source");
    feed.Finish();
    target.Commit();
    progress.Finish();
}

}  // namespace av
