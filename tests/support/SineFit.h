#pragma once
// How well samples follow one sine of a known frequency: the sine is fitted by least
// squares over [from, to), and the largest deviation from it is told relative to the
// fitted amplitude. Coding noise leaves a few percent; a sine that breaks or loses its
// phase somewhere leaves far more.
#include <algorithm>
#include <cmath>
#include <cstddef>

namespace fixtures {

struct SineFit {
    double amplitude = 0;
    double worstDeviation = 0;   // relative to amplitude
};

template <typename Sample>
SineFit FitSine(const Sample* samples, std::size_t from, std::size_t to, double frequency, double rate)
{
    const double w = 2 * M_PI * frequency / rate;
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (std::size_t i = from; i < to; ++i) {
        const double s = std::sin(w * double(i)), c = std::cos(w * double(i)), y = double(samples[i]);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += y * s;
        yc += y * c;
    }
    SineFit fit;
    const double det = ss * cc - sc * sc;
    if (det <= 0)
        return fit;
    const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
    fit.amplitude = std::hypot(a, b);
    double worst = 0;
    for (std::size_t i = from; i < to; ++i)
        worst = std::max(worst, std::abs(double(samples[i]) - a * std::sin(w * double(i)) - b * std::cos(w * double(i))));
    fit.worstDeviation = fit.amplitude > 0 ? worst / fit.amplitude : 0;
    return fit;
}

}  // namespace fixtures
