#pragma once
// A source that av reads without the FFmpeg libraries: it decodes the selection and hands
// it over as float blocks at the source's own rate (see SampleBlock.h). Positions are
// samples of that rate on the timeline that decoding the source from its beginning
// gives, exactly as encoder/AudioSource.h counts them.
#include "encoder/SampleBlock.h"
#include "encoder/Selection.h"

#include <cstdint>
#include <functional>

namespace av {

class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual int sampleRate() const = 0;
    virtual int channels() const = 0;   // 1 or 2
    // The source's length in samples; 0 when it is not known.
    virtual std::int64_t lengthSamples() const = 0;
    // Whether the last ReadSelection met any audio at all (see AudioSource::metAudio).
    virtual bool metAudio() const = 0;

    // Makes sure that selection can be read exactly as the FFmpeg source would read it,
    // before anything is decoded or written. False when this source cannot vouch for
    // that (junk in the stream, say): the caller then reads the file with the FFmpeg source.
    virtual bool Prepare(const Selection& selection) = 0;

    // Receives the next part of the selection, in order.
    using Sink = std::function<void(const SampleBlock& block)>;
    // Decodes the prepared selection and passes it to sink; returns the number of
    // samples passed (0 when the selection starts at or after the end of the source).
    // It can be called again for another pass over the same selection.
    virtual std::int64_t ReadSelection(const Selection& selection, const Sink& sink) = 0;
};

}  // namespace av
