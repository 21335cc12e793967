// Painting a one-hour strip (18000 columns, 152 rows) against a plain fill of the same
// pixels, in the same run.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>

#include "platform/Canvas.h"
#include "strip/WaveRender.h"

namespace {

constexpr int kColumns = 18000;
constexpr int kHeight = 152;

void PaintOneHourStrip(benchmark::State& state)
{
    QImage bitmap(kColumns, kHeight, QImage::Format_RGB32);
    TCanvas canvas(&bitmap);
    TWaveRender render(&canvas, kColumns, kHeight);
    render.SetWaveWidth(kColumns);
    render.SetBeginPos(5000);
    render.SetEndPos(9000);
    for (auto _ : state) {
        render.Paint();
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kColumns);
}

void PlainFillOfTheSamePixels(benchmark::State& state)
{
    QImage bitmap(kColumns, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        bitmap.fill(0xFF000000u + (state.iterations() & 1));
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kColumns);
}

}  // namespace

BENCHMARK(PaintOneHourStrip)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainFillOfTheSamePixels)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The ruler's numbers are drawn with a font, which needs the GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
