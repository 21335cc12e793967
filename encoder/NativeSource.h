#pragma once
// Chooses the native source for a file by its content (never its name): a plain MP3
// stream (Mp3Source), a WAV or FLAC file (SndfileSource), or nothing, in which case the
// file is read with the FFmpeg source (AudioSource).
#include "encoder/SampleSource.h"
#include "media/SourceInput.h"

#include <memory>

namespace av {

std::unique_ptr<SampleSource> OpenNativeSource(const media::SourceFile& file);

}  // namespace av
