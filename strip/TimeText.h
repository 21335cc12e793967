#pragma once
// A number of seconds as "%.2d:%.2d:%.2d": hours, minutes and seconds, each at least two
// digits, zero-padded, with division and remainder truncated toward zero (the remainder
// takes the sign of the number). A negative field has its minus sign before the padded
// digits: -1 gives "00:00:-01"; a field of more than two digits is written whole.
#include <cstdint>
#include <string>

std::string FormatTimeText(int64_t seconds);
