#pragma once
// The owning FFmpeg handles live in media/, shared with the player; av uses them under
// its own names.
#include "media/FfmpegPtr.h"

namespace av {

using media::CodecPtr;
using media::ErrorText;
using media::FifoPtr;
using media::FramePtr;
using media::InputPtr;
using media::NewFrame;
using media::NewPacket;
using media::PacketPtr;
using media::ResamplerPtr;

}  // namespace av
