// Reading back a written PNG: its size and where it has ink.
#pragma once

#include <cairo/cairo.h>

#include <cstdint>
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

}  // namespace sightline::test
