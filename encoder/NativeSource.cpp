#include "encoder/NativeSource.h"

#include "encoder/Mp3Source.h"
#include "encoder/SndfileSource.h"

namespace av {

std::unique_ptr<SampleSource> OpenNativeSource(const media::SourceFile& file)
{
    if (auto source = SndfileSource::Open(file))
        return source;
    return Mp3Source::Open(file);
}

}  // namespace av
