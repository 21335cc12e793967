// The strip's drawing costs, each against a baseline in the same run:
//  - a cursor tick or a marker move on a 10-hour strip against a 1-minute one, as the
//    window has them: the strip's view in a scroll area of the window's size, the change
//    and the redraw of what the view shows;
//  - drawing a 370-column viewport at the start, the middle and the end of a 10-hour
//    strip against a plain fill of the same pixels;
//  - the memory that opening a 10-hour strip adds (counter added_MB);
//  - painting a whole one-hour strip against a plain fill of the same pixels.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "platform/Canvas.h"
#include "strip/StripView.h"
#include "strip/WaveRender.h"

namespace {

constexpr int kHeight = 152;
constexpr int kOneMinute = 60 * TWaveRender::ColumnsPerSecond;
constexpr int kTenHours = 10 * 3600 * TWaveRender::ColumnsPerSecond;
constexpr int kOneHour = 3600 * TWaveRender::ColumnsPerSecond;
constexpr int kViewportColumns = 370;

// The strip as the window holds it: a model without canvas, drawn by its view inside a
// scroll area of the window's size, shown (on the offscreen platform).
struct ShownStrip {
    explicit ShownStrip(int columns) : render(nullptr, 276, kHeight)
    {
        view = new StripView;
        view->resize(276, kHeight);
        view->SetStrip(&render);
        area.resize(363, 171);
        area.setWidget(view);
        area.show();
        view->resize(columns, kHeight);
        render.SetWaveWidth(columns);
        // The middle of the strip, as during playback.
        area.horizontalScrollBar()->setValue(columns / 2);
        QApplication::processEvents();
    }
    ~ShownStrip() { view->SetStrip(nullptr); }

    TWaveRender render;
    QScrollArea area;
    StripView* view = nullptr;
};

void CursorTick(benchmark::State& state)
{
    ShownStrip strip(int(state.range(0)));
    const int middle = int(state.range(0)) / 2;
    int step = 0;
    for (auto _ : state) {
        strip.render.SetCursorPos(middle + (++step % 50) * TWaveRender::ColumnsPerSecond);
        QApplication::processEvents();   // the redraw the change scheduled
    }
}

void MarkerMove(benchmark::State& state)
{
    ShownStrip strip(int(state.range(0)));
    const int middle = int(state.range(0)) / 2;
    strip.render.SetBeginPos(middle);
    int step = 0;
    for (auto _ : state) {
        strip.render.SetEndPos(middle + 20 + (++step % 50));
        QApplication::processEvents();
    }
}

// The first column of the viewport: 0 = start, 1 = middle, 2 = end of the strip.
int ViewportStart(int where)
{
    return where == 0 ? 0 : where == 1 ? kTenHours / 2 : kTenHours - kViewportColumns;
}

void DrawViewportOfTenHours(benchmark::State& state)
{
    TWaveRender render(nullptr, kTenHours, kHeight);
    render.SetWaveWidth(kTenHours);
    const int first = ViewportStart(int(state.range(0)));
    render.SetBeginPos(first + 100);
    render.SetEndPos(first + 250);
    render.SetCursorPos(first + 180);
    QImage viewport(kViewportColumns, kHeight, QImage::Format_RGB32);
    TCanvas canvas(&viewport);
    for (auto _ : state) {
        render.PaintColumns(canvas, first, kViewportColumns);
        benchmark::DoNotOptimize(viewport.constBits());
    }
}

void PlainFillOfTheViewport(benchmark::State& state)
{
    QImage viewport(kViewportColumns, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        viewport.fill(0xFF000000u + (state.iterations() & 1));
        benchmark::DoNotOptimize(viewport.constBits());
    }
}

double ResidentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void OpenTenHourStrip(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto strip = std::make_unique<ShownStrip>(276);
        const double before = ResidentMegabytes();
        state.ResumeTiming();
        // What the open command does with the strip, and the first redraw.
        strip->view->resize(kTenHours, kHeight);
        strip->render.SetWaveWidth(kTenHours);
        strip->area.horizontalScrollBar()->setValue(kTenHours / 2);
        QApplication::processEvents();
        state.PauseTiming();
        state.counters["added_MB"] = ResidentMegabytes() - before;
        strip.reset();
        state.ResumeTiming();
    }
}

void PaintOneHourStrip(benchmark::State& state)
{
    QImage bitmap(kOneHour, kHeight, QImage::Format_RGB32);
    TCanvas canvas(&bitmap);
    TWaveRender render(&canvas, kOneHour, kHeight);
    render.SetWaveWidth(kOneHour);
    render.SetBeginPos(5000);
    render.SetEndPos(9000);
    for (auto _ : state) {
        render.Paint();
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kOneHour);
}

void PlainFillOfTheSamePixels(benchmark::State& state)
{
    QImage bitmap(kOneHour, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        bitmap.fill(0xFF000000u + (state.iterations() & 1));
        benchmark::DoNotOptimize(bitmap.constBits());
    }
    state.SetItemsProcessed(state.iterations() * kOneHour);
}

}  // namespace

BENCHMARK(CursorTick)->Arg(kOneMinute)->Arg(kTenHours)->Unit(benchmark::kMicrosecond);
BENCHMARK(MarkerMove)->Arg(kOneMinute)->Arg(kTenHours)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawViewportOfTenHours)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(PlainFillOfTheViewport)->Unit(benchmark::kMicrosecond);
BENCHMARK(OpenTenHourStrip)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PaintOneHourStrip)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainFillOfTheSamePixels)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The ruler's numbers are drawn with a font and the view is a widget: both need the
    // application, here on the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
