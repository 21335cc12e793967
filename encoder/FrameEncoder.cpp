#include "encoder/FrameEncoder.h"

#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <cerrno>
#include <unistd.h>

namespace av {

void WriteToTarget(TargetFile& target, const void* data, std::size_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(target.fd(), p, bytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ToolError(target.WriteFailure(errno));
        p += n;
        bytes -= std::size_t(n);
    }
}

}  // namespace av
