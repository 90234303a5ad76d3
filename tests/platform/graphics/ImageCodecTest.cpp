#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <vector>

#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageCodec.h"
#include "tests/support/TempDir.h"

namespace {

using platform::Bitmap;
using platform::Data;
using platform::DecodeLimits;
using platform::Image;
using platform::ImageCodec;
using platform::ImageOrientation;
using platform::Pixel;

Bitmap pattern(int w, int h, bool alpha) {
  Bitmap b = *Bitmap::create(w, h, alpha);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.setPixel(x, y,
                 Pixel{static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 50),
                       static_cast<std::uint8_t>((x + y) * 20),
                       static_cast<std::uint8_t>(alpha ? 255 - x * 30 : 255)});
  return b;
}

// A PNG written by libpng itself, with any colour type, depth and interlacing.
Data writePng(int w, int h, int colorType, int depth, bool interlaced,
              const std::vector<std::vector<png_byte>>& rows, const std::vector<png_color>& palette = {},
              const std::vector<png_byte>& transparency = {}) {
  Data out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the test picture";
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep bytes, size_t n) {
        auto* d = static_cast<Data*>(png_get_io_ptr(p));
        d->insert(d->end(), bytes, bytes + n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, depth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!transparency.empty())
    png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
  std::vector<png_bytep> pointers;
  for (const auto& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
  png_set_rows(png, info, pointers.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct GifFrameSpec {
  int left, top, width, height;
  std::vector<GifByteType> indices;  // row by row
  int delayCs;
  int disposal;
  int transparent;
  bool interlaced = false;
};

// A GIF written by giflib: a four-colour palette (0 black, 1 red, 2 green, 3 blue).
Data writeGif(int w, int h, const std::vector<GifFrameSpec>& frames) {
  Data out;
  int error = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* bytes, int n) {
        auto* d = static_cast<Data*>(g->UserData);
        d->insert(d->end(), bytes, bytes + n);
        return n;
      },
      &error);
  GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  ColorMapObject* map = GifMakeMapObject(4, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, w, h, 2, 0, map);
  for (const GifFrameSpec& f : frames) {
    GraphicsControlBlock gcb{f.disposal, false, f.delayCs, f.transparent};
    GifByteType ext[4];
    size_t len = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
    std::vector<int> order;
    if (f.interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < f.height; y += step[p]) order.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) order.push_back(y);
    }
    for (int y : order) EGifPutLine(gif, const_cast<GifByteType*>(&f.indices[y * f.width]), f.width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Data cut(const Data& d, std::size_t n) { return Data(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(n)); }

TEST(ImageCodec, PngRoundTripKeepsEveryPixel) {
  Bitmap withAlpha = pattern(5, 4, true);
  Data png = ImageCodec::encodePNG(withAlpha);
  EXPECT_EQ(ImageCodec::formatOfData(png.data(), png.size()), platform::ImageFormat::PNG);
  auto back = ImageCodec::decodePNG(png.data(), png.size());
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->hasAlpha());
  EXPECT_EQ(*back, withAlpha);

  Bitmap opaque = pattern(3, 3, false);
  auto opaqueBack =
      ImageCodec::decodePNG(ImageCodec::encodePNG(opaque).data(), ImageCodec::encodePNG(opaque).size());
  ASSERT_TRUE(opaqueBack);
  EXPECT_FALSE(opaqueBack->hasAlpha());
  EXPECT_EQ(*opaqueBack, opaque);
}

TEST(ImageCodec, PngOfOtherColourTypesExpandsToRgba) {
  // Interlaced 8-bit grey.
  std::vector<std::vector<png_byte>> grey(9, std::vector<png_byte>(9));
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) grey[y][x] = static_cast<png_byte>(x * 10 + y);
  Data g = writePng(9, 9, PNG_COLOR_TYPE_GRAY, 8, true, grey);
  auto gb = ImageCodec::decodePNG(g.data(), g.size());
  ASSERT_TRUE(gb);
  EXPECT_FALSE(gb->hasAlpha());
  EXPECT_EQ(gb->pixelAt(7, 3), (Pixel{73, 73, 73, 255}));

  // 2-bit palette with a transparent entry: leftmost pixel in the high bits.
  std::vector<png_color> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  std::vector<std::vector<png_byte>> indexed = {{0b00011011}};
  Data p = writePng(4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, indexed, palette, {0});
  auto pb = ImageCodec::decodePNG(p.data(), p.size());
  ASSERT_TRUE(pb);
  EXPECT_TRUE(pb->hasAlpha());
  EXPECT_EQ(pb->pixelAt(0, 0).a, 0);
  EXPECT_EQ(pb->pixelAt(1, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(pb->pixelAt(3, 0), (Pixel{0, 0, 255, 255}));
}

TEST(ImageCodec, JpegRoundTripIsCloseAndOpaque) {
  Bitmap b = *Bitmap::create(32, 16, true);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) b.setPixel(x, y, x < 16 ? Pixel{200, 40, 40, 255} : Pixel{30, 90, 220, 255});
  b.setPixel(31, 15, Pixel{255, 255, 255, 0});  // transparent: written black
  Data good = ImageCodec::encodeJPEG(b, 0.95);
  Data poor = ImageCodec::encodeJPEG(b, 0.1);
  EXPECT_LT(poor.size(), good.size());
  auto back = ImageCodec::decodeJPEG(good.data(), good.size());
  ASSERT_TRUE(back);
  EXPECT_FALSE(back->hasAlpha());
  ASSERT_EQ(back->width(), 32);
  ASSERT_EQ(back->height(), 16);
  auto near = [](Pixel a, Pixel e) {
    return std::abs(a.r - e.r) <= 6 && std::abs(a.g - e.g) <= 6 && std::abs(a.b - e.b) <= 6 && a.a == 255;
  };
  EXPECT_TRUE(near(back->pixelAt(4, 4), Pixel{200, 40, 40, 255}));
  EXPECT_TRUE(near(back->pixelAt(24, 4), Pixel{30, 90, 220, 255}));
  EXPECT_LT(back->pixelAt(31, 15).r, 60);
}

TEST(ImageCodec, GifFramesAreComposedWithTheirDelays) {
  // Frame 1: the whole 4 × 2 screen red. Frame 2: a 2 × 1 patch at (1, 1), green with one
  // transparent pixel, then cleared to the background. Frame 3: nothing but one blue pixel.
  GifFrameSpec f1{0, 0, 4, 2, std::vector<GifByteType>(8, 1), 10, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR};
  GifFrameSpec f2{1, 1, 2, 1, {2, 0}, 25, DISPOSE_BACKGROUND, 0};
  GifFrameSpec f3{0, 0, 1, 1, {3}, 0, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR};
  Data gif = writeGif(4, 2, {f1, f2, f3});
  auto frames = ImageCodec::decodeGIF(gif.data(), gif.size());
  ASSERT_TRUE(frames);
  ASSERT_EQ(frames->size(), 3u);
  EXPECT_DOUBLE_EQ((*frames)[0].delay, 0.1);
  EXPECT_DOUBLE_EQ((*frames)[1].delay, 0.25);
  EXPECT_DOUBLE_EQ((*frames)[2].delay, 0);
  // Every frame whole, row by row: the second's transparent pixel shows the red below it, the
  // third starts from the second's patch cleared to the background.
  const Pixel r{255, 0, 0, 255}, g{0, 255, 0, 255}, b{0, 0, 255, 255}, o{};
  auto picture = [](std::vector<Pixel> pixels) {
    Bitmap bitmap = *Bitmap::create(4, 2, true);
    for (int i = 0; i < 8; ++i) bitmap.setPixel(i % 4, i / 4, pixels[static_cast<std::size_t>(i)]);
    return bitmap;
  };
  EXPECT_EQ((*frames)[0].bitmap, picture({r, r, r, r, r, r, r, r}));
  EXPECT_EQ((*frames)[1].bitmap, picture({r, r, r, r, r, g, r, r}));
  EXPECT_EQ((*frames)[2].bitmap, picture({b, r, r, r, r, o, o, r}));
  // Each limit of a caller at the picture's own figures passes, one below refuses the whole file.
  for (auto [limits, fits] :
       {std::pair{DecodeLimits{4, 8, 24, 3}, true}, std::pair{DecodeLimits{3, 8, 24, 3}, false},
        std::pair{DecodeLimits{4, 7, 24, 3}, false}, std::pair{DecodeLimits{4, 8, 23, 3}, false},
        std::pair{DecodeLimits{4, 8, 24, 2}, false}}) {
    auto limited = ImageCodec::decodeGIF(gif.data(), gif.size(), limits);
    EXPECT_EQ(limited.has_value(), fits) << limits.maxDimension << " " << limits.maxPixels << " "
                                         << limits.maxTotalPixels << " " << limits.maxFrames;
    if (limited) {
      EXPECT_EQ(limited->back().bitmap, (*frames)[2].bitmap);
    }
  }

  auto image = Image::imageWithData(gif);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->isAnimated());
  EXPECT_DOUBLE_EQ(image->duration(), 0.35);
}

TEST(ImageCodec, InterlacedGifRowsLandInPlace) {
  GifFrameSpec f{0, 0, 1, 10, {}, 0, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR, true};
  for (int y = 0; y < 10; ++y) f.indices.push_back(static_cast<GifByteType>(y % 4));
  Data gif = writeGif(1, 10, {f});
  auto frames = ImageCodec::decodeGIF(gif.data(), gif.size());
  ASSERT_TRUE(frames);
  const Pixel colors[4] = {{0, 0, 0, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
  for (int y = 0; y < 10; ++y) EXPECT_EQ((*frames)[0].bitmap.pixelAt(0, y), colors[y % 4]) << y;
}

TEST(ImageCodec, DamagedAndTruncatedDataGivesNoPicture) {
  Data png = ImageCodec::encodePNG(pattern(8, 8, true));
  Data jpeg = ImageCodec::encodeJPEG(pattern(8, 8, false), 0.8);
  GifFrameSpec f{0, 0, 4, 4, std::vector<GifByteType>(16, 2), 0, DISPOSE_DO_NOT, NO_TRANSPARENT_COLOR};
  Data gif = writeGif(4, 4, {f, f});
  for (const Data* d : {&png, &jpeg, &gif}) {
    ASSERT_TRUE(Image::imageWithData(*d));
    for (std::size_t n : {std::size_t{0}, std::size_t{5}, d->size() / 2, d->size() - 3, d->size() - 1})
      EXPECT_FALSE(Image::imageWithData(cut(*d, n))) << n << " of " << d->size();
  }
  // A flipped bit inside the compressed pixels.
  Data bad = png;
  bad[bad.size() - 20] ^= 0x40;
  EXPECT_FALSE(ImageCodec::decodePNG(bad.data(), bad.size()));
  EXPECT_FALSE(Image::imageWithData(platform::dataFromString("GIF89a not really")));
  EXPECT_FALSE(Image::imageWithData(platform::dataFromString("plain text")));
}

TEST(ImageCodec, SizesBeyondTheLimitsAreRefusedBeforeDecoding) {
  // A valid header claiming 100000 × 100000 pixels, and nothing behind it.
  Data png = {0x89, 'P', 'N', 'G',  '\r', '\n', 0x1a, '\n', 0,    0, 0, 13, 'I', 'H', 'D',
              'R',  0,   1,   0x86, 0xA0, 0,    1,    0x86, 0xA0, 8, 6, 0,  0,   0};
  uLong crc = crc32(0, png.data() + 12, 17);
  for (int i = 3; i >= 0; --i) png.push_back(static_cast<std::uint8_t>(crc >> (i * 8)));
  EXPECT_FALSE(ImageCodec::decodePNG(png.data(), png.size()));

  // A GIF whose screen is 65535 × 65535.
  Data gif = platform::dataFromString("GIF89a");
  for (std::uint8_t b : {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x3B}) gif.push_back(b);
  EXPECT_FALSE(ImageCodec::decodeGIF(gif.data(), gif.size()));

  // Caller's limits.
  Data small = ImageCodec::encodePNG(pattern(10, 10, true));
  EXPECT_TRUE(ImageCodec::decodePNG(small.data(), small.size(), DecodeLimits{10, 100}));
  EXPECT_FALSE(ImageCodec::decodePNG(small.data(), small.size(), DecodeLimits{10, 99}));
  EXPECT_FALSE(ImageCodec::decodePNG(small.data(), small.size(), DecodeLimits{9, 1000}));
  Data jpeg = ImageCodec::encodeJPEG(pattern(10, 10, false), 0.5);
  EXPECT_TRUE(ImageCodec::decodeJPEG(jpeg.data(), jpeg.size(), DecodeLimits{10, 100}));
  EXPECT_FALSE(ImageCodec::decodeJPEG(jpeg.data(), jpeg.size(), DecodeLimits{10, 99}));
  EXPECT_FALSE(ImageCodec::decodeJPEG(jpeg.data(), jpeg.size(), DecodeLimits{9, 1000}));
  EXPECT_FALSE(Bitmap::create(Bitmap::MaxDimension + 1, 1));
  EXPECT_FALSE(Bitmap::create(Bitmap::MaxDimension, Bitmap::MaxDimension));
}

TEST(Image, ScaleOrientationAndNames) {
  auto image = Image::imageWithData(ImageCodec::encodePNG(pattern(6, 4, true)), 2.0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (platform::Size{3, 2}));
  EXPECT_EQ(image->frameCount(), 1u);

  // A camera picture held upright: stored landscape, seen portrait.
  auto turned = Image::imageWithImage(*image, 1.0, ImageOrientation::Right);
  EXPECT_EQ(turned->size(), (platform::Size{4, 6}));
  Bitmap upright = turned->uprightBitmap();
  ASSERT_EQ(upright.width(), 4);
  // The stored top-left pixel is seen at the top right.
  EXPECT_EQ(upright.pixelAt(3, 0), image->bitmap()->pixelAt(0, 0));
  EXPECT_EQ(upright.pixelAt(0, 5), image->bitmap()->pixelAt(5, 3));
  auto left = Image::imageWithImage(*image, 1.0, ImageOrientation::Left);
  EXPECT_EQ(left->uprightBitmap().pixelAt(0, 5), image->bitmap()->pixelAt(0, 0));
  // Encoding writes what is seen.
  auto reread = Image::imageWithData(turned->PNGRepresentation());
  ASSERT_TRUE(reread);
  EXPECT_EQ(*reread->bitmap(), upright);

  EXPECT_EQ(Image::highResolutionName("Images/v1.2/button.png"), "Images/v1.2/button@2x.png");
  EXPECT_EQ(Image::highResolutionName("dir.x/logo"), "dir.x/logo@2x");
  EXPECT_EQ(Image::scaleOfFileName("/a/b@2x.png"), 2.0);
  EXPECT_EQ(Image::scaleOfFileName("/a/b@2x.png.bak"), 1.0);
  EXPECT_EQ(Image::scaleOfFileName("b@3x"), 3.0);
}

TEST(Image, EveryOrientationShowsTheStoredCornersWhereACameraPutsThem) {
  // Stored 6 x 4: where its top-left, top-right and bottom-left pixels are seen fixes the whole
  // turn and mirror.
  const Bitmap stored = pattern(6, 4, true);
  struct Case {
    ImageOrientation orientation;
    int width, height;                                                       // as seen
    int topLeftX, topLeftY, topRightX, topRightY, bottomLeftX, bottomLeftY;  // where each is seen
  };
  const Case cases[] = {
      {ImageOrientation::Up, 6, 4, 0, 0, 5, 0, 0, 3},
      {ImageOrientation::Down, 6, 4, 5, 3, 0, 3, 5, 0},
      {ImageOrientation::Left, 4, 6, 0, 5, 0, 0, 3, 5},
      {ImageOrientation::Right, 4, 6, 3, 0, 3, 5, 0, 0},
      {ImageOrientation::UpMirrored, 6, 4, 5, 0, 0, 0, 5, 3},
      {ImageOrientation::DownMirrored, 6, 4, 0, 3, 5, 3, 0, 0},
      {ImageOrientation::LeftMirrored, 4, 6, 0, 0, 0, 5, 3, 0},
      {ImageOrientation::RightMirrored, 4, 6, 3, 5, 3, 0, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.orientation));
    auto image = Image::imageWithBitmap(stored, 1.0, c.orientation);
    const Bitmap seen = image->uprightBitmap();
    ASSERT_EQ(seen.width(), c.width);
    ASSERT_EQ(seen.height(), c.height);
    EXPECT_EQ(image->size(), (platform::Size{double(c.width), double(c.height)}));
    EXPECT_EQ(seen.pixelAt(c.topLeftX, c.topLeftY), stored.pixelAt(0, 0));
    EXPECT_EQ(seen.pixelAt(c.topRightX, c.topRightY), stored.pixelAt(5, 0));
    EXPECT_EQ(seen.pixelAt(c.bottomLeftX, c.bottomLeftY), stored.pixelAt(0, 3));
    // Every stored pixel is seen exactly once: nothing read from outside the picture.
    std::vector<Pixel> a, b;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) a.push_back(stored.pixelAt(x, y));
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) b.push_back(seen.pixelAt(x, y));
    auto order = [](const Pixel& p, const Pixel& q) {
      return std::tie(p.r, p.g, p.b, p.a) < std::tie(q.r, q.g, q.b, q.a);
    };
    std::sort(a.begin(), a.end(), order);
    std::sort(b.begin(), b.end(), order);
    EXPECT_EQ(a, b);
  }
}

TEST(Image, FilesAndNamedResourcesPickTheirScale) {
  kavro::test::TempDir dir;
  Data one = ImageCodec::encodePNG(pattern(2, 2, true));
  Data two = ImageCodec::encodePNG(pattern(4, 4, true));
  ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(dir.path() + "/Images", true));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(dir.path() + "/Images/dot.png", one));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(dir.path() + "/Images/dot@2x.png", two));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(dir.path() + "/Images/plain.png", one));

  auto file = Image::imageWithContentsOfFile(dir.path() + "/Images/dot@2x.png");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->scale(), 2.0);
  EXPECT_EQ(file->size(), (platform::Size{2, 2}));
  EXPECT_FALSE(Image::imageWithContentsOfFile(dir.path() + "/Images/none.png"));

  std::string previous = platform::Environment::setResourceRoot(dir.path());
  auto retina = Image::imageNamed("Images/dot");
  auto plainScreen = Image::imageNamed("Images/dot.png", 1.0);
  auto onlyPlain = Image::imageNamed("Images/plain.png");
  auto missing = Image::imageNamed("Images/none.png");
  platform::Environment::setResourceRoot(previous);
  ASSERT_TRUE(retina && plainScreen && onlyPlain);
  EXPECT_EQ(retina->scale(), 2.0);
  EXPECT_EQ(plainScreen->scale(), 1.0);
  EXPECT_EQ(onlyPlain->scale(), 1.0);
  EXPECT_FALSE(missing);
}

TEST(Image, ANamedPictureIsReadAgainOnlyWhenItsFileChanged) {
  kavro::test::TempDir first, second;
  for (const auto* dir : {&first, &second})
    ASSERT_TRUE(platform::FileManager::createDirectoryAtPath(dir->path() + "/Images", true));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(first.path() + "/Images/b.png",
                                                      ImageCodec::encodePNG(pattern(2, 2, true))));
  ASSERT_TRUE(platform::FileManager::createFileAtPath(second.path() + "/Images/b.png",
                                                      ImageCodec::encodePNG(pattern(3, 3, true))));
  std::string previous = platform::Environment::setResourceRoot(first.path());
  auto before = Image::imageNamed("Images/b.png", 1.0);
  auto again = Image::imageNamed("Images/b.png", 1.0);
  // The same file replaced by another picture of the same size.
  ASSERT_TRUE(platform::FileManager::createFileAtPath(first.path() + "/Images/b.png",
                                                      ImageCodec::encodePNG(pattern(2, 2, false))));
  auto replaced = Image::imageNamed("Images/b.png", 1.0);
  platform::Environment::setResourceRoot(second.path());
  auto otherRoot = Image::imageNamed("Images/b.png", 1.0);
  platform::Environment::setResourceRoot(previous);
  ASSERT_TRUE(before && again && replaced && otherRoot);
  EXPECT_EQ(*again->bitmap(), pattern(2, 2, true));
  EXPECT_EQ(*replaced->bitmap(), pattern(2, 2, false));
  EXPECT_EQ(otherRoot->size(), (platform::Size{3, 3}));
  EXPECT_EQ(*before->bitmap(), pattern(2, 2, true));  // a picture given out never changes
}

TEST(Image, StretchableCapsFollowThePlatformRule) {
  auto image = Image::imageWithBitmap(*Bitmap::create(21, 30));
  auto s = image->stretchableImageWithLeftCapWidth(10, 14);
  EXPECT_TRUE(s->isResizable());
  EXPECT_EQ(s->capInsets(), (platform::EdgeInsets{14, 10, 15, 10}));
  EXPECT_EQ(s->leftCapWidth(), 10);
  EXPECT_EQ(image->stretchableImageWithLeftCapWidth(0, 5)->capInsets(), (platform::EdgeInsets{5, 0, 24, 0}));
  EXPECT_EQ(image->resizableImageWithCapInsets({1, -2, 3, 4})->capInsets(),
            (platform::EdgeInsets{1, 0, 3, 4}));
  EXPECT_FALSE(image->isResizable());
}

TEST(Bitmap, CropAndScale) {
  Bitmap b = pattern(6, 4, true);
  auto c = b.cropped(4, -1, 10, 3);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->width(), 2);
  EXPECT_EQ(c->height(), 2);
  EXPECT_EQ(c->pixelAt(1, 1), b.pixelAt(5, 1));
  EXPECT_FALSE(b.cropped(6, 0, 2, 2));
  EXPECT_FALSE(b.cropped(0, 0, 0, 2));

  // Halving 2 × 2 blocks of one colour keeps the colours exactly.
  Bitmap blocks = *Bitmap::create(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      blocks.setPixel(x, y, (x < 2) == (y < 2) ? Pixel{255, 0, 0, 255} : Pixel{0, 0, 255, 255});
  auto half = blocks.scaled(2, 2);
  ASSERT_TRUE(half);
  EXPECT_EQ(half->pixelAt(0, 0), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(half->pixelAt(1, 0), (Pixel{0, 0, 255, 255}));
  // A transparent neighbour does not darken the colour.
  Bitmap pair = *Bitmap::create(2, 1);
  pair.setPixel(0, 0, Pixel{255, 255, 255, 255});
  auto one = pair.scaled(1, 1);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->pixelAt(0, 0), (Pixel{255, 255, 255, 128}));
}

}  // namespace
