#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mapsdk/engine/VMemory.h"
#include "mapsdk/raster/VBitmapPng.h"
#include "mapsdk/raster/VImageDecode.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/mapsdk/raster/RasterTestUtil.h"
#include "tests/support/TempDir.h"

using namespace gmengine;

namespace {

platform::Bitmap Picture(int width, int height, bool alpha) {
  platform::Bitmap b = *platform::Bitmap::create(width, height, alpha);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      b.setPixel(x, y,
                 {static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 40), 200,
                  static_cast<std::uint8_t>(alpha ? (x == 0 ? 0 : 255) : 255)});
  return b;
}

std::vector<std::uint8_t> Jpeg() {
  platform::Data d = platform::ImageCodec::encodeJPEG(Picture(8, 8, false), 0.9);
  return {d.begin(), d.end()};
}

TEST(DecodeJpegTest, DecodesJfifAndRefusesCutOrForeignHeaders) {
  std::vector<std::uint8_t> jpeg = Jpeg();
  ASSERT_EQ(std::memcmp(jpeg.data() + 6, "JFIF", 4), 0);
  int size = static_cast<int>(jpeg.size()), w = 0, h = 0, bits = 0;
  std::uint8_t* pixels = DecodeJpeg(jpeg.data(), size, w, h, bits);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  EXPECT_EQ(bits, 32);
  EXPECT_EQ(size, 8 * 8 * 4);  // no alpha plane
  EXPECT_EQ(reinterpret_cast<std::uint32_t*>(pixels)[0] >> 24, 0xFFu);
  VFree(pixels);

  std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.end() - 1);
  size = static_cast<int>(cut.size());
  EXPECT_EQ(DecodeJpeg(cut.data(), size, w, h, bits), nullptr);
  EXPECT_EQ(size, static_cast<int>(cut.size()));
  std::vector<std::uint8_t> exif = jpeg;
  std::memcpy(exif.data() + 6, "Exif", 4);
  size = static_cast<int>(exif.size());
  EXPECT_EQ(DecodeJpeg(exif.data(), size, w, h, bits), nullptr);
  // Right magic, damaged inside.
  std::vector<std::uint8_t> broken = jpeg;
  std::memset(broken.data() + 20, 0xFF, broken.size() - 40);
  size = static_cast<int>(broken.size());
  EXPECT_EQ(DecodeJpeg(broken.data(), size, w, h, bits), nullptr);
  size = 3;
  EXPECT_EQ(DecodeJpeg(jpeg.data(), size, w, h, bits), nullptr);
}

TEST(DecodePngTest, RgbaKeepsItsTransparencyAsAnAlphaPlane) {
  platform::Data png = platform::ImageCodec::encodePNG(Picture(4, 2, true));
  int size = static_cast<int>(png.size()), w = 0, h = 0;
  std::uint8_t* pixels = DecodePngPixels(png.data(), size, &w, &h);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(size, 4 * 2 * 4 + 4 * 2);
  EXPECT_EQ(reinterpret_cast<std::uint32_t*>(pixels)[1], 0xFF2800C8u);
  EXPECT_EQ(pixels[32], 0);    // alpha of (0, 0)
  EXPECT_EQ(pixels[33], 255);  // alpha of (1, 0)

  // Drawn as a tile with the DIB copy, the transparent column keeps the background.
  test::Canvas canvas(4, 2, 0xFF112233u);
  BITMAPINFOHEADER info = MakeDecodedInfo(w, h, size);
  ASSERT_EQ(VSetDIBitsToDevice(canvas.dc, 0, 0, w, h, 0, 0, pixels, &info), 1);
  EXPECT_EQ(canvas.At(0, 0), 0xFF112233u);
  EXPECT_EQ(canvas.At(1, 0), 0xFF2800C8u);
  VFree(pixels);

  VBitmap* bitmap = DecodePngBitmap(png.data(), static_cast<int>(png.size()));
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(bitmap->alpha, nullptr);
  EXPECT_EQ(bitmap->alpha[0], 0);
  FreeBitmapData(bitmap);

  platform::Data opaque = platform::ImageCodec::encodePNG(Picture(3, 3, false));
  size = static_cast<int>(opaque.size());
  pixels = DecodePngPixels(opaque.data(), size);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(size, 3 * 3 * 4);
  VFree(pixels);
  bitmap = DecodePngBitmap(opaque.data(), static_cast<int>(opaque.size()));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->alpha, nullptr);
  FreeBitmapData(bitmap);
}

TEST(DecodePngTest, BrokenTruncatedAndOversizedFilesAreRefused) {
  platform::Data png = platform::ImageCodec::encodePNG(Picture(4, 4, true));
  auto refused = [](std::vector<std::uint8_t> bytes) {
    int size = static_cast<int>(bytes.size());
    std::uint8_t* p = DecodePngPixels(bytes.data(), size);
    VFree(p);
    return p == nullptr;
  };
  std::vector<std::uint8_t> good(png.begin(), png.end());
  EXPECT_FALSE(refused(good));
  EXPECT_TRUE(refused({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)}));
  EXPECT_TRUE(refused({good.begin(), good.begin() + 20}));
  std::vector<std::uint8_t> huge = good;
  huge[16] = 0x7F;  // width 0x7F000004
  EXPECT_TRUE(refused(huge));
  std::vector<std::uint8_t> tall = good;
  tall[22] = 0x10;  // height 4096 + 4: beyond the side limit
  EXPECT_TRUE(refused(tall));
  std::vector<std::uint8_t> deep = good;
  deep[24] = 16;  // 16-bit RGBA is not a layout the map takes
  EXPECT_TRUE(refused(deep));
  std::vector<std::uint8_t> garbage(200, 0xAB);
  EXPECT_TRUE(refused(garbage));
  int size = 0;
  EXPECT_EQ(DecodePngPixels(nullptr, size), nullptr);
  EXPECT_EQ(DecodePngBitmap(good.data(), 8), nullptr);
}

TEST(MapApiPathsTest, ResourcesComeFromTheBundleFolder) {
  kavro::test::TempDir dir;
  std::string previous = platform::Environment::setResourceRoot(dir.path());
  EXPECT_FALSE(GetMapApiResourcePath("a.txt"));
  ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(dir.path() + "/mapsdk.bundle/images", true));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(dir.path() + "/mapsdk.bundle/images/pin@2x.png", {1}));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(dir.path() + "/mapsdk.bundle/images/pin.png", {1}));
  EXPECT_EQ(GetMapApiImagePath("pin", true), dir.path() + "/mapsdk.bundle/images/pin@2x.png");
  EXPECT_EQ(GetMapApiImagePath("pin", false), dir.path() + "/mapsdk.bundle/images/pin.png");
  EXPECT_FALSE(GetMapApiResourcePath(""));
  EXPECT_FALSE(GetMapApiResourcePath("../../etc/passwd"));
  platform::Environment::setResourceRoot(previous);
}

}  // namespace

namespace {

TEST(BitmapPngTest, AWrittenBackBufferReadsBackPixelForPixel) {
  kavro::test::TempDir dir;
  test::Canvas canvas(3, 2, 0xFF102030u);
  VFillRect(canvas.dc, _VRect(1, 1, 3, 2), 0xFFA0B0C0u);
  std::string path = dir.path() + "/buffer.png";
  ASSERT_TRUE(WriteBitmapPNG(canvas.bitmap, path));
  std::optional<platform::Data> file = platform::FileManager::contentsAtPath(path);
  ASSERT_TRUE(file);
  std::optional<platform::Bitmap> image = platform::ImageCodec::decodePNG(file->data(), file->size());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixelAt(0, 0), (platform::Pixel{0x10, 0x20, 0x30, 255}));
  EXPECT_EQ(image->pixelAt(2, 1), (platform::Pixel{0xA0, 0xB0, 0xC0, 255}));
  EXPECT_FALSE(WriteBitmapPNG(nullptr, path));
  EXPECT_TRUE(EncodeBitmapPNG(nullptr).empty());
}

}  // namespace
