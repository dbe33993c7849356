// What a user waits for while drawing: a fill of the whole sign-sized view,
// and the zoom window repainted after a navigator drag, each beside a plain
// fill of the same pixels as the floor.
#include <benchmark/benchmark.h>

#include <QImage>

#include "common/Raster.h"
#include "draw/DrawModel.h"
#include "draw/Zoom.h"

namespace {

constexpr QRgb kRed = 0xFFFF1F3Fu;
constexpr QRgb kGreen = 0xFF1FFF3Fu;

// A view of a sign of 160 x 16 pixels: 480 x 48 screen pixels.
void FloodFillWholeView(benchmark::State& state) {
  QImage view = raster::NewImage(480, 48, raster::kBlack);
  bool red = true;
  for (auto _ : state) {
    raster::FloodFillSurface(view, QPoint(100, 20), red ? kRed : kGreen);
    red = !red;
    benchmark::DoNotOptimize(view.constBits());
  }
}
BENCHMARK(FloodFillWholeView)->Unit(benchmark::kMicrosecond);

void PlainFillOfTheView(benchmark::State& state) {
  QImage view = raster::NewImage(480, 48, raster::kBlack);
  bool red = true;
  for (auto _ : state) {
    view.fill(red ? kRed : kGreen);
    red = !red;
    benchmark::DoNotOptimize(view.constBits());
  }
}
BENCHMARK(PlainFillOfTheView)->Unit(benchmark::kMicrosecond);

// The 740 x 351 drawing area: 74 x 36 cells. Every picture pixel coloured, so
// every cell is painted after the drag.
void ZoomRepaintAfterNavigatorDrag(benchmark::State& state) {
  draw::DrawModel model;
  model.ResetView(740, 351, true);
  for (int x = 0; x < model.View().width(); ++x) {
    raster::FillBox(model.View(), raster::Box{x, 0, x + 1, model.View().height()}, x % 6 < 3 ? kRed : kGreen);
  }
  draw::Zoom zoom;
  zoom.SetUp(model.View().width(), model.View().height());
  zoom.ZoomIn(model, QPoint(300, 150));
  int step = 1;
  for (auto _ : state) {
    zoom.NavPress(true, QPoint(0, 0));
    zoom.NavMove(QPoint(step, 0), model.Picture().size());
    zoom.NavRelease(model.Picture());
    step = -step;
    benchmark::DoNotOptimize(zoom.Grid().constBits());
  }
}
BENCHMARK(ZoomRepaintAfterNavigatorDrag)->Unit(benchmark::kMicrosecond);

void PlainFillOfTheZoomGrid(benchmark::State& state) {
  QImage grid = raster::NewImage(740, 360, raster::kBlack);
  bool red = true;
  for (auto _ : state) {
    grid.fill(red ? kRed : kGreen);
    red = !red;
    benchmark::DoNotOptimize(grid.constBits());
  }
}
BENCHMARK(PlainFillOfTheZoomGrid)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
