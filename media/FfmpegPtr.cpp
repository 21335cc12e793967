#include "media/FfmpegPtr.h"

#include "media/FfmpegLibraries.h"

#include <cstring>
#include <new>

namespace media {

PacketPtr NewPacket()
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

FramePtr NewFrame()
{
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

std::string ErrorText(int averror)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    std::string result;
    if (LoadFfmpeg()) {
        av_strerror(averror, text, sizeof text);
        result = text;
    } else if (averror < 0 && averror > -4096) {
        // Without the libraries the system's own text of the code is all there is; it is
        // what FFmpeg would have given for it.
        result = strerror_r(-averror, text, sizeof text);
    } else {
        result = "Error number " + std::to_string(averror) + " occurred";
    }
    if (!result.empty() && result[0] >= 'a' && result[0] <= 'z')
        result[0] = char(result[0] - 'a' + 'A');
    return result;
}

}  // namespace media
