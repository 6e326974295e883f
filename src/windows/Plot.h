// Plots of sampled data in graphics ports: a whole array at a time, as a trace over an
// x range, a step trace, a polyline through (x, y) pairs held in two arrays, or markers
// at such pairs. Every procedure exists for 16-bit and 32-bit integers, which go
// through the port's second transform (SetWorld2, -32767 .. 32767 at first), and for
// 32-bit and 64-bit reals, which go through the first (SetWorld).
//
// A trace of many more samples than the port has pixel columns is reduced to one
// vertical segment per column, from the smallest to the largest sample that falls on
// it, so that drawing takes time by the width of the port, not by the number of
// samples. The pairs of the last trace stay in the port's column buffer.
//
// Every procedure does nothing when the port is not a live port, the array is missing
// or the count is below 2 (1 for the markers), and draws as the drawing operations of
// Graphics do: with the port's pen, colours and clip, restoring the current port after.
#pragma once

#include <concepts>
#include <cstdint>

#include "windows/Graphics.h"

namespace Plot {

using Graphics::GraphPort;

template <typename T>
concept Sample = std::same_as<T, std::int16_t> || std::same_as<T, std::int32_t> ||
    std::same_as<T, float> || std::same_as<T, double>;

// The count samples spread evenly over the world x range xStart .. xStart + xExtent:
// points joined by lines (and the port's marker at each) while there is at least about
// a pixel per sample; else one column segment per pixel (a marker on every so many
// columns). A trace starting left of the port begins with the sample at its left edge;
// one starting right of it draws nothing.
template <Sample T>
void PlotTrace(GraphPort* p, double xStart, double xExtent, const T* samples, std::int32_t count,
               bool lines, bool markers);
// A step trace: each sample held until the next one's x, then a vertical step to it.
template <Sample T>
void PlotSteps(GraphPort* p, double xStart, double xExtent, const T* samples, std::int32_t count,
               bool finish);
// A polyline through (x[i], y[i]).
template <Sample T>
void PlotXY(GraphPort* p, const T* x, const T* y, std::int32_t count, bool finish);
// The port's marker at each (x[i], y[i]).
template <Sample T>
void PlotXYMarkers(GraphPort* p, const T* x, const T* y, std::int32_t count, bool finish);
// A trace at x = 0, 1, 2, ...: sample i at world x i, joined by lines.
template <Sample T> void PlotSamples(GraphPort* p, const T* samples, std::int32_t count);

// A finish argument set calls the port's finish procedure after drawing, when it has
// one (Graphics::ShowAtOnce at first); nullptr clears it.
void SetFinishProc(GraphPort* p, Graphics::FinishProc proc);
// A marker on every spacing-th column of a reduced trace; 0: none. Negative is ignored.
void SetMarkerSpacing(GraphPort* p, std::int32_t spacing);

// The smallest and the largest of n >= 1 samples, as a walk that replaces them only
// by strictly smaller and larger samples finds them (a not-a-number never replaces).
template <Sample T> void MinMax(const T* samples, std::size_t n, T& smallest, T& largest);

} // namespace Plot
