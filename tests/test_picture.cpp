// The drawing as a PNG picture: the pixels a series leaves and the colour of
// the window face around them.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "app/batch/batch_run.h"
#include "records/png_encode.h"

namespace {

struct Picture {
  unsigned width = 0, height = 0;
  std::vector<unsigned char> rgb;  // 8-bit red, green, blue, row by row
};

// Reads any PNG into 8-bit RGB; an empty picture when it cannot.
Picture Decode(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Picture p;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return p;
  return {image.width, image.height, std::move(rgb)};
}

// The picture in the documentation was written from the desktop program's own
// image classes before the batch runner had its own writer: the whole
// preset-2 series must leave the same pixels, window face included.
TEST(Picture, PresetTwoHasThePixelsOfTheDocumentedPicture) {
  const std::string path = testing::TempDir() + "preset-2.png";
  std::ostringstream out, err;
  ASSERT_EQ(lab::RunBatch({"--test", "2", "--quiet", "--png", path}, out, err), 0) << err.str();
  const Picture made = Decode(path), documented = Decode(LAB_SOURCE_DIR "/docs/preset-2.png");
  ASSERT_EQ(documented.width, 312u);
  ASSERT_EQ(documented.height, 286u);
  EXPECT_EQ(made.width, documented.width);
  EXPECT_EQ(made.height, documented.height);
  EXPECT_TRUE(made.rgb == documented.rgb) << "the pixels differ";
  std::remove(path.c_str());
}

TEST(Picture, UnpaintedPixelsTakeTheWindowFaceAndPaintedOnesTheirColour) {
  lab::PixelLayer layer;
  layer.pixels[0] = lab::kPalette[12];                       // red, top left
  layer.pixels[layer.pixels.size() - 1] = lab::kNearBlack;  // bottom right
  const std::string path = testing::TempDir() + "corners.png";
  const std::string bytes = lab::EncodePng(layer);
  ASSERT_FALSE(bytes.empty());
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  ASSERT_EQ(std::fclose(file), 0);
  const Picture p = Decode(path);
  ASSERT_EQ(p.rgb.size(), 312u * 286u * 3u);
  const std::vector<unsigned char> first(p.rgb.begin(), p.rgb.begin() + 6);
  const std::vector<unsigned char> last(p.rgb.end() - 6, p.rgb.end());
  EXPECT_EQ(first, (std::vector<unsigned char>{255, 0, 0, 239, 239, 239}));
  EXPECT_EQ(last, (std::vector<unsigned char>{239, 239, 239, 2, 0, 0}));
  std::remove(path.c_str());
}


}  // namespace
