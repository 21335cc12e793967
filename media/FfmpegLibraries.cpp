#include "media/FfmpegLibraries.h"

#include "base/SharedLibrary.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

// Every FFmpeg function that the program and the encoder tool call: the library that
// holds it, its result, its name, its parameters and the arguments that pass them on.
// A new call of another FFmpeg function fails to link until it is added here.
#define TALLOWICK_FFMPEG_FUNCTIONS(X) \
    X(avutil, AVAudioFifo *, av_audio_fifo_alloc, (enum AVSampleFormat a0, int a1, int a2), (a0, a1, a2)) \
    X(avutil, void, av_audio_fifo_free, (AVAudioFifo *a0), (a0)) \
    X(avutil, int, av_audio_fifo_read, (AVAudioFifo *a0, void **a1, int a2), (a0, a1, a2)) \
    X(avutil, int, av_audio_fifo_size, (AVAudioFifo *a0), (a0)) \
    X(avutil, int, av_audio_fifo_write, (AVAudioFifo *a0, void **a1, int a2), (a0, a1, a2)) \
    X(avutil, int, av_channel_layout_check, (const AVChannelLayout *a0), (a0)) \
    X(avutil, int, av_channel_layout_compare, (const AVChannelLayout *a0, const AVChannelLayout *a1), (a0, a1)) \
    X(avutil, int, av_channel_layout_copy, (AVChannelLayout *a0, const AVChannelLayout *a1), (a0, a1)) \
    X(avutil, void, av_channel_layout_default, (AVChannelLayout *a0, int a1), (a0, a1)) \
    X(avutil, void, av_channel_layout_uninit, (AVChannelLayout *a0), (a0)) \
    X(avutil, void, av_dict_free, (AVDictionary **a0), (a0)) \
    X(avutil, int, av_dict_set, (AVDictionary **a0, const char *a1, const char *a2, int a3), (a0, a1, a2, a3)) \
    X(avformat, int, av_find_best_stream, (AVFormatContext *a0, enum AVMediaType a1, int a2, int a3, const AVCodec **a4, int a5), (a0, a1, a2, a3, a4, a5)) \
    X(avutil, AVFrame *, av_frame_alloc, (), ()) \
    X(avutil, void, av_frame_free, (AVFrame **a0), (a0)) \
    X(avutil, int, av_frame_get_buffer, (AVFrame *a0, int a1), (a0, a1)) \
    X(avutil, void, av_frame_unref, (AVFrame *a0), (a0)) \
    X(avutil, void, av_free, (void *a0), (a0)) \
    X(avutil, void, av_freep, (void *a0), (a0)) \
    X(avutil, int, av_get_bytes_per_sample, (enum AVSampleFormat a0), (a0)) \
    X(avutil, enum AVSampleFormat, av_get_packed_sample_fmt, (enum AVSampleFormat a0), (a0)) \
    X(avformat, int, av_index_search_timestamp, (AVStream *a0, int64_t a1, int a2), (a0, a1, a2)) \
    X(avutil, void, av_log_set_level, (int a0), (a0)) \
    X(avutil, void *, av_malloc, (size_t a0), (a0)) \
    X(avutil, int, av_match_list, (const char *a0, const char *a1, char a2), (a0, a1, a2)) \
    X(avcodec, AVPacket *, av_packet_alloc, (), ()) \
    X(avcodec, void, av_packet_free, (AVPacket **a0), (a0)) \
    X(avcodec, void, av_packet_free_side_data, (AVPacket *a0), (a0)) \
    X(avcodec, uint8_t*, av_packet_get_side_data, (const AVPacket *a0, enum AVPacketSideDataType a1, size_t *a2), (a0, a1, a2)) \
    X(avcodec, int, av_packet_ref, (AVPacket *a0, const AVPacket *a1), (a0, a1)) \
    X(avcodec, void, av_packet_rescale_ts, (AVPacket *a0, AVRational a1, AVRational a2), (a0, a1, a2)) \
    X(avcodec, void, av_packet_unref, (AVPacket *a0), (a0)) \
    X(avformat, int, av_probe_input_buffer2, (AVIOContext *a0, const AVInputFormat **a1, const char *a2, void *a3, unsigned int a4, unsigned int a5), (a0, a1, a2, a3, a4, a5)) \
    X(avformat, int, av_read_frame, (AVFormatContext *a0, AVPacket *a1), (a0, a1)) \
    X(avutil, int64_t, av_rescale, (int64_t a0, int64_t a1, int64_t a2), (a0, a1, a2)) \
    X(avutil, int64_t, av_rescale_q, (int64_t a0, AVRational a1, AVRational a2), (a0, a1, a2)) \
    X(avutil, int64_t, av_rescale_rnd, (int64_t a0, int64_t a1, int64_t a2, enum AVRounding a3), (a0, a1, a2, a3)) \
    X(avutil, int, av_sample_fmt_is_planar, (enum AVSampleFormat a0), (a0)) \
    X(avutil, int, av_samples_alloc_array_and_samples, (uint8_t ***a0, int *a1, int a2, int a3, enum AVSampleFormat a4, int a5), (a0, a1, a2, a3, a4, a5)) \
    X(avutil, int, av_samples_set_silence, (uint8_t **a0, int a1, int a2, int a3, enum AVSampleFormat a4), (a0, a1, a2, a3, a4)) \
    X(avformat, int, av_seek_frame, (AVFormatContext *a0, int a1, int64_t a2, int a3), (a0, a1, a2, a3)) \
    X(avutil, char *, av_strdup, (const char *a0), (a0)) \
    X(avutil, int, av_strerror, (int a0, char *a1, size_t a2), (a0, a1, a2)) \
    X(avformat, int, av_write_frame, (AVFormatContext *a0, AVPacket *a1), (a0, a1)) \
    X(avformat, int, av_write_trailer, (AVFormatContext *a0), (a0)) \
    X(avcodec, AVCodecContext *, avcodec_alloc_context3, (const AVCodec *a0), (a0)) \
    X(avcodec, const AVCodec *, avcodec_find_decoder, (enum AVCodecID a0), (a0)) \
    X(avcodec, const AVCodec *, avcodec_find_encoder_by_name, (const char *a0), (a0)) \
    X(avcodec, void, avcodec_flush_buffers, (AVCodecContext *a0), (a0)) \
    X(avcodec, void, avcodec_free_context, (AVCodecContext **a0), (a0)) \
    X(avcodec, const char *, avcodec_get_name, (enum AVCodecID a0), (a0)) \
    X(avcodec, int, avcodec_open2, (AVCodecContext *a0, const AVCodec *a1, AVDictionary **a2), (a0, a1, a2)) \
    X(avcodec, int, avcodec_parameters_from_context, (AVCodecParameters *a0, const AVCodecContext *a1), (a0, a1)) \
    X(avcodec, int, avcodec_parameters_to_context, (AVCodecContext *a0, const AVCodecParameters *a1), (a0, a1)) \
    X(avcodec, int, avcodec_receive_frame, (AVCodecContext *a0, AVFrame *a1), (a0, a1)) \
    X(avcodec, int, avcodec_receive_packet, (AVCodecContext *a0, AVPacket *a1), (a0, a1)) \
    X(avcodec, int, avcodec_send_frame, (AVCodecContext *a0, const AVFrame *a1), (a0, a1)) \
    X(avcodec, int, avcodec_send_packet, (AVCodecContext *a0, const AVPacket *a1), (a0, a1)) \
    X(avformat, AVFormatContext *, avformat_alloc_context, (), ()) \
    X(avformat, int, avformat_alloc_output_context2, (AVFormatContext **a0, const AVOutputFormat *a1, const char *a2, const char *a3), (a0, a1, a2, a3)) \
    X(avformat, void, avformat_close_input, (AVFormatContext **a0), (a0)) \
    X(avformat, int, avformat_find_stream_info, (AVFormatContext *a0, AVDictionary **a1), (a0, a1)) \
    X(avformat, void, avformat_free_context, (AVFormatContext *a0), (a0)) \
    X(avformat, const AVIndexEntry *, avformat_index_get_entry, (AVStream *a0, int a1), (a0, a1)) \
    X(avformat, AVStream *, avformat_new_stream, (AVFormatContext *a0, const AVCodec *a1), (a0, a1)) \
    X(avformat, int, avformat_open_input, (AVFormatContext **a0, const char *a1, const AVInputFormat *a2, AVDictionary **a3), (a0, a1, a2, a3)) \
    X(avformat, int, avformat_seek_file, (AVFormatContext *a0, int a1, int64_t a2, int64_t a3, int64_t a4, int a5), (a0, a1, a2, a3, a4, a5)) \
    X(avformat, int, avformat_write_header, (AVFormatContext *a0, AVDictionary **a1), (a0, a1)) \
    X(avformat, AVIOContext *, avio_alloc_context, (unsigned char *a0, int a1, int a2, void *a3, int (*a4)(void *opaque, uint8_t *buf, int buf_size), int (*a5)(void *opaque, uint8_t *buf, int buf_size), int64_t (*a6)(void *opaque, int64_t offset, int whence)), (a0, a1, a2, a3, a4, a5, a6)) \
    X(avformat, void, avio_context_free, (AVIOContext **a0), (a0)) \
    X(avformat, void, avio_flush, (AVIOContext *a0), (a0)) \
    X(swresample, int, swr_alloc_set_opts2, (struct SwrContext **a0, AVChannelLayout *a1, enum AVSampleFormat a2, int a3, AVChannelLayout *a4, enum AVSampleFormat a5, int a6, int a7, void *a8), (a0, a1, a2, a3, a4, a5, a6, a7, a8)) \
    X(swresample, int, swr_convert, (struct SwrContext *a0, uint8_t **a1, int a2, const uint8_t **a3, int a4), (a0, a1, a2, a3, a4)) \
    X(swresample, void, swr_free, (struct SwrContext **a0), (a0)) \
    X(swresample, int, swr_get_out_samples, (struct SwrContext *a0, int a1), (a0, a1)) \
    X(swresample, int, swr_init, (struct SwrContext *a0), (a0))

namespace media {

namespace {

enum Library { avutil, swresample, avcodec, avformat, kLibraryCount };

enum Function {
#define TALLOWICK_FFMPEG_INDEX(library, result, name, parameters, arguments) k_##name,
    TALLOWICK_FFMPEG_FUNCTIONS(TALLOWICK_FFMPEG_INDEX)
#undef TALLOWICK_FFMPEG_INDEX
    kFunctionCount
};

struct FunctionEntry {
    Library library;
    const char* name;
};

constexpr FunctionEntry kFunctions[] = {
#define TALLOWICK_FFMPEG_ENTRY(library, result, name, parameters, arguments) {library, #name},
    TALLOWICK_FFMPEG_FUNCTIONS(TALLOWICK_FFMPEG_ENTRY)
#undef TALLOWICK_FFMPEG_ENTRY
};
static_assert(sizeof kFunctions / sizeof kFunctions[0] == kFunctionCount);

#define TALLOWICK_STRINGIFY2(x) #x
#define TALLOWICK_STRINGIFY(x) TALLOWICK_STRINGIFY2(x)

// What the first load found. The addresses are written before loaded is set, and read
// only after it is seen set.
struct LoadState {
    std::mutex mutex;
    bool tried = false;
    std::string error;
    FfmpegLibraryNames names = DefaultFfmpegLibraryNames();
    std::array<void*, kFunctionCount> addresses{};
    std::atomic<bool> loaded{false};
};

LoadState& State()
{
    static LoadState state;
    return state;
}

// Opens the libraries and finds every function; the reason when something is missing.
// The libraries stay open for the life of the process.
std::string Load(const FfmpegLibraryNames& names, std::array<void*, kFunctionCount>& addresses)
{
    const std::array<const std::string*, kLibraryCount> sonames = {&names.avutil, &names.swresample, &names.avcodec,
                                                                   &names.avformat};
    std::array<void*, kLibraryCount> handles{};
    std::string why;
    for (int i = 0; i < kLibraryCount; ++i) {
        handles[i] = base::OpenSharedLibrary(*sonames[i], why);
        if (!handles[i])
            return why;
    }
    for (int i = 0; i < kFunctionCount; ++i) {
        const int library = kFunctions[i].library;
        addresses[i] = base::FindSharedFunction(handles[library], *sonames[library], kFunctions[i].name, why);
        if (!addresses[i])
            return why;
    }
    return {};
}

// The address of a function, loading the libraries first if nothing has yet.
void* Address(Function function)
{
    LoadState& state = State();
    if (!state.loaded.load(std::memory_order_acquire)) {
        std::string error;
        if (!LoadFfmpeg(&error)) {
            std::fprintf(stderr, "The FFmpeg libraries cannot be loaded (%s); %s cannot be called.\n", error.c_str(),
                         kFunctions[function].name);
            std::abort();
        }
    }
    return state.addresses[function];
}

}  // namespace

FfmpegLibraryNames DefaultFfmpegLibraryNames()
{
    return {"libavutil.so." TALLOWICK_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
            "libswresample.so." TALLOWICK_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
            "libavcodec.so." TALLOWICK_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
            "libavformat.so." TALLOWICK_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};
}

bool LoadFfmpeg(std::string* error)
{
    LoadState& state = State();
    if (state.loaded.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.tried) {
        state.tried = true;
        state.error = Load(state.names, state.addresses);
        if (state.error.empty()) {
            state.loaded.store(true, std::memory_order_release);
            // What the decoders and muxers have to say reaches the user through the
            // callers' own errors; their running commentary has no place on a terminal.
            av_log_set_level(AV_LOG_QUIET);
        }
    }
    if (state.error.empty())
        return true;
    if (error)
        *error = state.error;
    return false;
}

void StartLoadingFfmpeg()
{
    // Made on the first call and ended with the program's other statics, after the load.
    static struct Loading {
        std::thread thread{[] { LoadFfmpeg(); }};
        ~Loading() { thread.join(); }
    } loading;
}

bool FfmpegLoaded()
{
    return State().loaded.load(std::memory_order_acquire);
}

bool UseFfmpegLibraryNames(const FfmpegLibraryNames& names)
{
    LoadState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.tried)
        return false;
    state.names = names;
    return true;
}

}  // namespace media

// The functions themselves. Each is declared by FFmpeg's headers above, so a definition
// whose parameters or result differ from the header's does not compile.
#define TALLOWICK_FFMPEG_FORWARD(library, result, name, parameters, arguments)                     \
    extern "C" result name parameters                                                            \
    {                                                                                            \
        return reinterpret_cast<decltype(&name)>(media::Address(media::k_##name)) arguments;      \
    }
TALLOWICK_FFMPEG_FUNCTIONS(TALLOWICK_FFMPEG_FORWARD)
#undef TALLOWICK_FFMPEG_FORWARD
