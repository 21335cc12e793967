// av: cuts a segment out of an audio file and encodes it as an MP3, AMR, M4R (iPhone)
// or Ogg Vorbis ringtone.
//
//   av -i SOURCE -ss HH:MM:SS -t HH:MM:SS -acodec mp3 -ab 64 -ac 2 TARGET.mp3
//   av -i SOURCE -ss HH:MM:SS -t HH:MM:SS -f amr -acodec amr_nb -ab 32 -ac 1 -ar 8000 TARGET.amr
//   av -i SOURCE -ss HH:MM:SS -t HH:MM:SS -f ipod -acodec aac -ab 128 -ac 2 -ar 44100 TARGET.m4r
//   av -i SOURCE -ss HH:MM:SS -t HH:MM:SS -f ogg -acodec libvorbis -ab 128 -ac 2 -ar 44100 TARGET.ogg
//
// "-fade MS" fades each end in and out over MS milliseconds; "-loudness LUFS" first
// measures the selection and then encodes it with the gain that makes it that loud,
// lowered where its true peak would pass -1 dBTP.
//
// Exit status 0 when the target has been written; otherwise 1 and one line on
// standard error that a window can show to the user. A caller that wants to follow the
// work names a descriptor in AV_PROGRESS_FD (see ProgressChannel.h).
#include "encoder/AudioSource.h"
#include "encoder/CommandLine.h"
#include "encoder/LevelShape.h"
#include "encoder/LoudnessMeter.h"
#include "encoder/NativeExport.h"
#include "encoder/NativeSource.h"
#include "encoder/ProgressChannel.h"
#include "encoder/SegmentEncoder.h"
#include "encoder/Selection.h"
#include "encoder/TargetCheck.h"
#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Standard input is never read: it is tied to /dev/null so that no library can wait
// on a terminal or a pipe.
void DetachStandardInput()
{
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        dup2(fd, STDIN_FILENO);
        if (fd != STDIN_FILENO)
            close(fd);
    }
}

// The message as one printable line: a path may hold line breaks or control bytes.
void Report(const std::string& message)
{
    std::string line = message;
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// The export through the FFmpeg libraries: every source and output that the native
// path does not take. file is the source already opened, or nullptr when opening it
// failed (AudioSource then opens it again and tells why).
int RunWithFfmpeg(const av::Request& request, std::unique_ptr<media::SourceFile> file)
{
    av_log_set_level(AV_LOG_QUIET);
    av::AudioSource source = file ? av::AudioSource(std::move(file), request.source) : av::AudioSource(request.source);
    const av::OutputSettings settings = av::ChooseOutput(request, source.sampleRate(), source.channels());
    const av::Selection selection =
        av::MovedLater(av::SelectionFor(request.startSeconds, request.lengthSeconds, source.sampleRate()),
                       av::EncoderLeadSamples(settings, source.sampleRate()));

    av::ProgressChannel progress = av::ProgressChannel::FromEnvironment();
    const std::int64_t sourceEnd = source.lengthSamples() > 0 ? source.lengthSamples() : av::Selection::kToTheEnd;
    // Made loud, the selection is read twice: once to measure it, once to encode it.
    const int passes = request.loudnessLufs ? 2 : 1;
    if (sourceEnd != av::Selection::kToTheEnd || selection.end != av::Selection::kToTheEnd)
        progress.SetTotal(passes * (std::min(selection.end, sourceEnd) - std::min(selection.begin, sourceEnd)));

    double gain = 1.0;
    if (request.loudnessLufs) {
        av::LoudnessMeter meter(settings.sampleRate, settings.channels);
        source.ReadSelection(selection, [&](const AVFrame& block, int offset, int count) {
            meter.Add(block, offset, count);
            progress.Advance(count);
        });
        const double gainDb = av::LoudnessGainDb(meter.IntegratedLoudness(), meter.TruePeakDb(),
                                                 *request.loudnessLufs, av::kTruePeakCeilingDb - av::kCodingHeadroomDb);
        gain = std::pow(10.0, gainDb / 20);
        source.Rewind();
    }
    const std::int64_t fadeSamples = std::int64_t(request.fadeMs.value_or(0)) * settings.sampleRate / 1000;

    av::TargetFile target(request.target);
    av::SegmentEncoder encoder(settings, target, av::LevelShape(gain, fadeSamples));
    const std::int64_t taken = source.ReadSelection(selection, [&](const AVFrame& block, int offset, int count) {
        encoder.Write(block, offset, count);
        progress.Advance(count);
    });
    if (taken == 0 && !source.metAudio())
        throw av::ToolError("The source holds no audio that can be decoded");
    if (taken == 0)
        throw av::ToolError("The selection is empty: the start lies beyond the end of the source");
    encoder.Finish();
    target.Commit();
    progress.Finish();
    return 0;
}

int Run(const std::vector<std::string>& args)
{
    const av::Request request = av::ParseCommandLine(args);
    av::CheckTargetMayBeReplaced(request.source, request.target);
    std::unique_ptr<media::SourceFile> file;
    try {
        file = std::make_unique<media::SourceFile>(request.source);
    } catch (const media::SourceError&) {
        return RunWithFfmpeg(request, nullptr);
    }
    // The common path: a plain MP3, WAV or FLAC source written as MP3 or AMR, read and
    // encoded without the FFmpeg libraries. Whatever it cannot vouch for is handed to
    // the FFmpeg path before anything has been written.
    if (av::NativeEncoderFor(request)) {
        if (auto native = av::OpenNativeSource(*file)) {
            const av::OutputSettings settings = av::ChooseOutput(request, native->sampleRate(), native->channels());
            const av::Selection selection = av::MovedLater(
                av::SelectionFor(request.startSeconds, request.lengthSeconds, native->sampleRate()),
                av::EncoderLeadSamples(settings, native->sampleRate()));
            if (native->Prepare(selection)) {
                av::RunNativeExport(request, settings, selection, *native);
                return 0;
            }
        }
    }
    return RunWithFfmpeg(request, std::move(file));
}

}  // namespace

int main(int argc, char** argv)
{
    DetachStandardInput();
    // A write past the file-size limit then fails with EFBIG, which is told like any
    // other failure, instead of ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const av::ToolError& error) {
        Report(error.what());
    } catch (const std::bad_alloc&) {
        Report("Out of memory");
    } catch (const std::exception& error) {
        Report(std::string("Unexpected failure: ") + error.what());
    }
    return 1;
}
