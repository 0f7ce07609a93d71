// A PNG file read back into 8-bit red, green and blue, row by row, to look
// at its pixels.
#pragma once

#include <png.h>

#include <array>
#include <string>
#include <vector>

namespace png_test {

struct Picture {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgb;
  std::array<int, 3> At(unsigned x, unsigned y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// The picture of a file, or of the bytes themselves; an empty one when it
// cannot be read.
inline Picture Decode(const std::string& path_or_bytes, bool bytes = false) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!(bytes ? png_image_begin_read_from_memory(&image, path_or_bytes.data(), path_or_bytes.size())
              : png_image_begin_read_from_file(&image, path_or_bytes.c_str())))
    return p;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return p;
  return {image.width, image.height, std::move(rgb)};
}

}  // namespace png_test
