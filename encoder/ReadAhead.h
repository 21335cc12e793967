#pragma once
// Reading and encoding side by side: the selection is decoded and converted on a thread
// of its own while the caller's thread encodes what has been read so far, so that on a
// machine with two processors decoding no longer adds to the encoder's time. At most a
// few blocks wait between the two, so memory stays small whatever the selection's length.
#include <cstdint>
#include <functional>

namespace av {

// Passes interleaved samples (frames × channels values) on to the next step.
using SampleSink = std::function<void(const float* interleaved, int frames)>;

// Runs produce on a second thread, handing it a sink whose samples reach consume, in
// order, on the calling thread. Returns what produce returns. An exception thrown by
// produce reaches the caller once everything it passed on has been consumed; one thrown
// by consume stops produce at its next block and then reaches the caller.
std::int64_t ReadAhead(int channels, const std::function<std::int64_t(const SampleSink&)>& produce,
                       const SampleSink& consume);

}  // namespace av
