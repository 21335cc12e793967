#include "media/ChannelLayout.h"

namespace media {

AVChannelLayout NamedLayout(const AVChannelLayout& layout)
{
    AVChannelLayout result{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&layout) == 0)
        av_channel_layout_default(&result, layout.nb_channels);
    else
        av_channel_layout_copy(&result, &layout);
    return result;
}

bool SameNamedLayout(const AVChannelLayout& block, const AVChannelLayout& named)
{
    AVChannelLayout normal = NamedLayout(block);
    const bool same = av_channel_layout_compare(&normal, &named) == 0;
    av_channel_layout_uninit(&normal);
    return same;
}

}  // namespace media
