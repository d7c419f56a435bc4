// Reading back a written PNG: its size and where it has ink.
#pragma once

#include <cairo/cairo.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "plot/figure_layout.hpp"

namespace sightline::test {

struct PngDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Png = std::unique_ptr<cairo_surface_t, PngDeleter>;

inline Png readPng(const std::string& path) { return Png(cairo_image_surface_create_from_png(path.c_str())); }

/// Pixels inside `r` (its border left out) that differ from white.
inline int inkInside(cairo_surface_t* png, const FigureRect& r) {
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  int count = 0;
  for (int y = static_cast<int>(r.y) + 3; y < static_cast<int>(r.y + r.height) - 3; ++y)
    for (int x = static_cast<int>(r.x) + 3; x < static_cast<int>(r.x + r.width) - 3; ++x) {
      const auto* p = reinterpret_cast<const std::uint32_t*>(data + y * stride) + x;
      if ((*p & 0xFFFFFF) != 0xFFFFFF) ++count;
    }
  return count;
}

/// Pixels inside `r` in station `s`'s colour (within 2 of 255 in each channel).
inline int stationPixels(cairo_surface_t* png, const FigureRect& r, std::size_t s) {
  double red = 0, green = 0, blue = 0;
  stationColour(s, red, green, blue);
  const unsigned char* data = cairo_image_surface_get_data(png);
  const int stride = cairo_image_surface_get_stride(png);
  int count = 0;
  for (int y = static_cast<int>(r.y); y < static_cast<int>(r.y + r.height); ++y)
    for (int x = static_cast<int>(r.x); x < static_cast<int>(r.x + r.width); ++x) {
      const std::uint32_t p = *(reinterpret_cast<const std::uint32_t*>(data + y * stride) + x);
      const int pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF;
      if (std::abs(pr - static_cast<int>(std::lround(red * 255))) <= 2 &&
          std::abs(pg - static_cast<int>(std::lround(green * 255))) <= 2 &&
          std::abs(pb - static_cast<int>(std::lround(blue * 255))) <= 2)
        ++count;
    }
  return count;
}

}  // namespace sightline::test
