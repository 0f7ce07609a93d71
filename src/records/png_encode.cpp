#include "records/png_encode.h"

#include <png.h>

#include <csetjmp>
#include <string>
#include <vector>

namespace lab {

namespace {

// libpng reports its failures by a long jump back into the writer.
void Failed(png_structp png, png_const_charp) { std::longjmp(png_jmpbuf(png), 1); }
void Warned(png_structp, png_const_charp) {}

// The encoded bytes go to a string; there is nothing to flush.
void Append(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}
void Flush(png_structp) {}

// The rows as 8-bit red, green, blue.
std::vector<std::uint8_t> RgbRows(const PixelLayer& picture) {
  std::vector<std::uint8_t> rgb(picture.pixels.size() * 3);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    const ColourNumber p = picture.pixels[i];
    const ColourNumber c = p == PixelLayer::kUnpainted ? kWindowFace : p;
    rgb[3 * i] = static_cast<png_byte>(RedOf(c));
    rgb[3 * i + 1] = static_cast<png_byte>(GreenOf(c));
    rgb[3 * i + 2] = static_cast<png_byte>(BlueOf(c));
  }
  return rgb;
}

// Nothing in here may need a destructor: the long jump skips them.
bool Encode(std::string* bytes, int width, int height, png_bytepp rows, const char* description) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Failed, Warned);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, bytes, Append, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, kDotsPerMetre, kDotsPerMetre, PNG_RESOLUTION_METER);
  png_text text{};
  if (*description != '\0') {
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<png_charp>("Description");
    text.text = const_cast<png_charp>(description);
    png_set_text(png, info, &text, 1);
  }
  png_set_rows(png, info, rows);
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

std::string EncodePng(const PixelLayer& picture) {
  return EncodeRgbPng(picture.width, picture.height, RgbRows(picture));
}

std::string EncodeRgbPng(int width, int height, const std::vector<std::uint8_t>& rgb,
                         const std::string& description) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<std::size_t>(width) * height * 3)
    return "";
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(rgb.data()) + static_cast<std::size_t>(y) * width * 3;
  std::string bytes;
  if (!Encode(&bytes, width, height, rows.data(), description.c_str())) return "";
  return bytes;
}

}  // namespace lab
