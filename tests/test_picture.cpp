// The drawing as a PNG picture: the pixels a series leaves and the colour of
// the window face around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "app/batch/batch_run.h"
#include "png_read.h"
#include "records/png_encode.h"

namespace {

using png_test::Decode;
using png_test::Picture;

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
  const Picture p = Decode(lab::EncodePng(layer), true);
  ASSERT_EQ(p.rgb.size(), 312u * 286u * 3u);
  const std::vector<unsigned char> first(p.rgb.begin(), p.rgb.begin() + 6);
  const std::vector<unsigned char> last(p.rgb.end() - 6, p.rgb.end());
  EXPECT_EQ(first, (std::vector<unsigned char>{255, 0, 0, 239, 239, 239}));
  EXPECT_EQ(last, (std::vector<unsigned char>{239, 239, 239, 2, 0, 0}));
}

// The picture of --png-size is drawn as a Trajectory Display of that size:
// the views are laid out for its outer size (the drawing area, a frame of 4
// pixels and a title bar of 23), so the pair's orbit of 1 AU in scenario 2,
// whose main view spans 2.2 x 2.5 AU across the window, is centred in the
// window and has a radius of width / 11 in twips, 1/15 of that in pixels.
TEST(Picture, DrawnAsATrajectoryDisplayOfTheSizeAskedFor) {
  struct Case {
    std::vector<std::string> size;
    unsigned width, height;
  };
  // 60 x 60: the threads' share of each test outgrows its list of points.
  for (const Case& c : {Case{{}, 312, 286}, Case{{"--png-size", "1200x1100"}, 1200, 1100},
                        Case{{"--png-size", "60x60"}, 60, 60}}) {
    // One test after another as at the windows, and spread over threads with
    // the tests in lanes.
    std::vector<Picture> made;
    for (const char* lanes : {"1", "2"}) {
      const std::string path = testing::TempDir() + "sized.png";
      std::vector<std::string> args = {"--test",  "2", "--set",  "end=10", "--quiet", "--jobs",
                                       lanes[0] == '1' ? "1" : "2", "--lanes", lanes, "--png", path};
      args.insert(args.end(), c.size.begin(), c.size.end());
      std::ostringstream out, err;
      ASSERT_EQ(lab::RunBatch(args, out, err), 0) << err.str();
      made.push_back(Decode(path));
      std::remove(path.c_str());
    }
    EXPECT_TRUE(made[0].rgb == made[1].rgb);
    const Picture& p = made[0];
    ASSERT_EQ(p.width, c.width);
    ASSERT_EQ(p.height, c.height);
    // The extent of the pair's paths: body 0 magenta, body 1 light green.
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    for (unsigned y = 0; y < p.height; ++y) {
      for (unsigned x = 0; x < p.width; ++x) {
        const unsigned char* rgb = &p.rgb[3 * (y * p.width + x)];
        const bool pair = (rgb[0] == 255 && rgb[1] == 0 && rgb[2] == 255) ||
                          (rgb[0] == 0 && rgb[1] == 255 && rgb[2] == 0);
        if (!pair) continue;
        left = std::min(left, int(x)), right = std::max(right, int(x));
        top = std::min(top, int(y)), bottom = std::max(bottom, int(y));
      }
    }
    const double outer_width = c.width * 15.0 + 120, outer_height = c.height * 15.0 + 465;
    const double radius = outer_width / 11 / 15;
    SCOPED_TRACE(c.width);
    EXPECT_NEAR((left + right + 1) / 2.0, outer_width / 2 / 15, 1.5);
    EXPECT_NEAR((top + bottom + 1) / 2.0, outer_height / 2 / 15, 1.5);
    EXPECT_NEAR((right - left + 1) / 2.0, radius, 1.5);
    EXPECT_NEAR((bottom - top + 1) / 2.0, radius, 1.5);
  }
}

}  // namespace
