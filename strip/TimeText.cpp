#include "strip/TimeText.h"

#include <cinttypes>
#include <cstdio>

std::string FormatTimeText(int64_t seconds)
{
    char text[80];
    std::snprintf(text, sizeof text, "%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64, seconds / 3600, (seconds % 3600) / 60,
                  seconds % 60);
    return text;
}
