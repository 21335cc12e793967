#include "media/FfmpegPtr.h"

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
    av_strerror(averror, text, sizeof text);
    std::string result = text;
    if (!result.empty() && result[0] >= 'a' && result[0] <= 'z')
        result[0] = char(result[0] - 'a' + 'A');
    return result;
}

}  // namespace media
