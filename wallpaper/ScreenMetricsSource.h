// Where the fit gets the screen from: the primary screen, read afresh at every fit, or a
// stand-in that tests and tools inject.
#pragma once

#include <functional>

#include "wallpaper/FitImageBox.h"

namespace tavrino {

using ScreenMetricsSource = std::function<ScreenMetrics()>;

// The primary screen now: its size in device pixels (so a high-DPI screen gets a bitmap at
// its real resolution) times the twips per pixel of its logical DPI (15 at 96 DPI).
// Throws Error(DeviceUnavailable) when there is no screen.
ScreenMetrics PrimaryScreenMetrics();

// Metrics of a screen of widthPx x heightPx pixels at twipsPerPixel on both axes.
ScreenMetrics MetricsForPixels(int widthPx, int heightPx, float twipsPerPixel = 15.0F);

}  // namespace tavrino
