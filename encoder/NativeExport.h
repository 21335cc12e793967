#pragma once
// The export's common path, without the FFmpeg libraries: a native source (see
// NativeSource.h) written as MP3 (LameMp3Encoder) or AMR (AmrNbEncoder), with the same
// selection, progress, loudness, fades and messages as the FFmpeg path in main.cpp.
#include "encoder/CommandLine.h"
#include "encoder/OutputChoice.h"
#include "encoder/SampleSource.h"

namespace av {

// Whether the request's output is one that the native encoders write.
bool NativeEncoderFor(const Request& request);

// Reads the (prepared) selection of source and writes the target.
void RunNativeExport(const Request& request, const OutputSettings& settings, const Selection& selection,
                     SampleSource& source);

}  // namespace av
