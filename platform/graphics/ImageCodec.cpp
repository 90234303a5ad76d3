#include "platform/graphics/ImageCodec.h"

#include <gif_lib.h>
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {

namespace {

bool withinLimits(std::int64_t width, std::int64_t height, const DecodeLimits& limits) {
  std::int64_t side = std::min<std::int64_t>(limits.maxDimension, Bitmap::MaxDimension);
  std::int64_t area = std::min<std::int64_t>(limits.maxPixels, Bitmap::MaxPixelCount);
  return width >= 1 && height >= 1 && width <= side && height <= side && width * height <= area;
}

// ---- PNG ----

// libpng forgives a file cut inside its end chunk; the chunk walk here does not, so every format
// refuses a file that stops early. Chunk: length (31 bits), type, data, CRC.
bool pngReachesItsEnd(const std::uint8_t* data, std::size_t size) {
  static const std::uint8_t iendCrc[4] = {0xAE, 0x42, 0x60, 0x82};
  std::size_t pos = 8;
  while (size - pos >= 12) {
    std::uint32_t length = std::uint32_t{data[pos]} << 24 | std::uint32_t{data[pos + 1]} << 16 |
                           std::uint32_t{data[pos + 2]} << 8 | data[pos + 3];
    if (length > 0x7FFFFFFFu || length > size - pos - 12) return false;
    if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
      return length == 0 && std::memcmp(data + pos + 8, iendCrc, 4) == 0;
    pos += 12 + length;
  }
  return false;
}

// ---- JPEG ----

// A progressive file may hold any number of scans, each a full pass over the picture; more than
// this is no real photo but a way to burn time.
constexpr int MaxJpegScans = 256;

struct JpegError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Warnings pass (libjpeg reports many harmless oddities), except the end of the data arriving
// before the end of the picture: libjpeg would fill the rest with grey.
void jpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) jpegErrorExit(cinfo);
}

void jpegOutputMessage(j_common_ptr) {}

void jpegProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->is_decompressor && d->input_scan_number > MaxJpegScans) jpegErrorExit(cinfo);
}

void setUpJpegErrors(JpegError& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = jpegErrorExit;
  err.pub.emit_message = jpegEmitMessage;
  err.pub.output_message = jpegOutputMessage;
}

// Everything that has to outlive a long jump back into decodeJpegInto lives here, made before
// the jump point, so the jump skips no C++ object.
struct JpegDecodeState {
  jpeg_decompress_struct cinfo;
  JpegError err;
  jpeg_progress_mgr progress;
  std::vector<std::uint8_t> cmykRow;
};

bool decodeJpegInto(JpegDecodeState& s, const std::uint8_t* data, std::size_t size,
                    const DecodeLimits& limits, Bitmap& out) {
  s.cinfo.err = &s.err.pub;
  setUpJpegErrors(s.err);
  jpeg_create_decompress(&s.cinfo);
  if (setjmp(s.err.jump)) {
    jpeg_destroy_decompress(&s.cinfo);
    return false;
  }
  // A progressive picture keeps all its coefficients (2 bytes each) while it is read; nothing a
  // picture within the limits needs is refused by this bound.
  s.cinfo.mem->max_memory_to_use =
      static_cast<long>(std::min<std::int64_t>(limits.maxPixels, Bitmap::MaxPixelCount) * 12 + (8 << 20));
  s.progress.progress_monitor = jpegProgress;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK ||
      !withinLimits(s.cinfo.image_width, s.cinfo.image_height, limits)) {
    jpeg_destroy_decompress(&s.cinfo);
    return false;
  }
  bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
  s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(&s.cinfo);
  if (static_cast<std::int64_t>(s.cinfo.output_width) != s.cinfo.image_width ||
      s.cinfo.output_height != s.cinfo.image_height) {
    jpeg_destroy_decompress(&s.cinfo);
    return false;
  }
  out =
      *Bitmap::create(static_cast<int>(s.cinfo.output_width), static_cast<int>(s.cinfo.output_height), false);
  if (cmyk) s.cmykRow.resize(static_cast<std::size_t>(s.cinfo.output_width) * 4);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    int y = static_cast<int>(s.cinfo.output_scanline);
    JSAMPROW row = cmyk ? s.cmykRow.data() : out.row(y);
    if (jpeg_read_scanlines(&s.cinfo, &row, 1) != 1) {
      jpeg_destroy_decompress(&s.cinfo);
      return false;
    }
    if (cmyk) {
      // Files with an APP14 marker (those of the common publishing tools) store CMYK inverted.
      bool inverted = s.cinfo.saw_Adobe_marker;
      std::uint8_t* o = out.row(y);
      for (std::size_t x = 0; x < s.cinfo.output_width; ++x) {
        const std::uint8_t* p = &s.cmykRow[x * 4];
        unsigned k = inverted ? p[3] : 255u - p[3];
        for (int c = 0; c < 3; ++c) {
          unsigned v = inverted ? p[c] : 255u - p[c];
          o[x * 4 + c] = static_cast<std::uint8_t>((v * k + 127) / 255);
        }
        o[x * 4 + 3] = 255;
      }
    }
  }
  jpeg_finish_decompress(&s.cinfo);
  jpeg_destroy_decompress(&s.cinfo);
  return true;
}

struct JpegEncodeState {
  jpeg_compress_struct cinfo;
  JpegError err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  std::vector<std::uint8_t> row;
};

bool encodeJpegInto(JpegEncodeState& s, const Bitmap& bitmap, int quality) {
  s.cinfo.err = &s.err.pub;
  setUpJpegErrors(s.err);
  jpeg_create_compress(&s.cinfo);
  if (setjmp(s.err.jump)) {
    jpeg_destroy_compress(&s.cinfo);
    return false;
  }
  jpeg_mem_dest(&s.cinfo, &s.buffer, &s.size);
  s.cinfo.image_width = static_cast<JDIMENSION>(bitmap.width());
  s.cinfo.image_height = static_cast<JDIMENSION>(bitmap.height());
  s.cinfo.input_components = 3;
  s.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&s.cinfo);
  jpeg_set_quality(&s.cinfo, quality, TRUE);
  jpeg_start_compress(&s.cinfo, TRUE);
  s.row.resize(static_cast<std::size_t>(bitmap.width()) * 3);
  while (s.cinfo.next_scanline < s.cinfo.image_height) {
    const std::uint8_t* p = bitmap.row(static_cast<int>(s.cinfo.next_scanline));
    for (int x = 0; x < bitmap.width(); ++x) {
      unsigned a = p[x * 4 + 3];
      for (int c = 0; c < 3; ++c)
        s.row[x * 3 + c] = static_cast<std::uint8_t>((p[x * 4 + c] * a + 127) / 255);
    }
    JSAMPROW row = s.row.data();
    jpeg_write_scanlines(&s.cinfo, &row, 1);
  }
  jpeg_finish_compress(&s.cinfo);
  jpeg_destroy_compress(&s.cinfo);
  return true;
}

// ---- GIF ----

struct GifSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos;
};

int gifRead(GifFileType* gif, GifByteType* buffer, int length) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  if (length <= 0) return 0;
  std::size_t n = std::min(static_cast<std::size_t>(length), src->size - src->pos);
  std::memcpy(buffer, src->data + src->pos, n);
  src->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

// The rows of an interlaced frame arrive in four passes: every 8th row from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
std::vector<int> gifRowOrder(int height, bool interlaced) {
  std::vector<int> order;
  order.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) order.push_back(y);
    return order;
  }
  const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
  return order;
}

}  // namespace

ImageFormat ImageCodec::formatOfData(const std::uint8_t* data, std::size_t size) {
  if (!data) return ImageFormat::Unknown;
  static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (size >= 8 && std::memcmp(data, png, 8) == 0) return ImageFormat::PNG;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageFormat::JPEG;
  if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0))
    return ImageFormat::GIF;
  return ImageFormat::Unknown;
}

std::optional<Bitmap> ImageCodec::decodePNG(const std::uint8_t* data, std::size_t size,
                                            const DecodeLimits& limits) {
  if (formatOfData(data, size) != ImageFormat::PNG || !pngReachesItsEnd(data, size)) return std::nullopt;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return std::nullopt;
  if (!withinLimits(image.width, image.height, limits)) {
    png_image_free(&image);
    return std::nullopt;
  }
  bool hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  auto bitmap = Bitmap::create(static_cast<int>(image.width), static_cast<int>(image.height), hasAlpha);
  if (!bitmap) {
    png_image_free(&image);
    return std::nullopt;
  }
  // finish_read frees the reader, whatever the outcome.
  if (!png_image_finish_read(&image, nullptr, bitmap->data(), static_cast<png_int_32>(bitmap->bytesPerRow()),
                             nullptr))
    return std::nullopt;
  return bitmap;
}

std::optional<Bitmap> ImageCodec::decodeJPEG(const std::uint8_t* data, std::size_t size,
                                             const DecodeLimits& limits) {
  if (formatOfData(data, size) != ImageFormat::JPEG) return std::nullopt;
  JpegDecodeState state;
  Bitmap out;
  if (!decodeJpegInto(state, data, size, limits, out)) return std::nullopt;
  return out;
}

std::optional<std::vector<DecodedFrame>> ImageCodec::decodeGIF(const std::uint8_t* data, std::size_t size,
                                                               const DecodeLimits& limits) {
  if (formatOfData(data, size) != ImageFormat::GIF) return std::nullopt;
  GifSource source{data, size, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, gifRead, &error));
  if (!gif) return std::nullopt;
  const int canvasWidth = gif->SWidth, canvasHeight = gif->SHeight;
  if (!withinLimits(canvasWidth, canvasHeight, limits)) return std::nullopt;

  auto canvas = Bitmap::create(canvasWidth, canvasHeight, true);
  if (!canvas) return std::nullopt;
  std::vector<DecodedFrame> frames;
  std::int64_t totalPixels = 0;
  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  std::vector<GifPixelType> indices;

  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) return std::nullopt;
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) return std::nullopt;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
        if (DGifExtensionToGCB(block[0], block + 1, &control) != GIF_OK) return std::nullopt;
      }
      while (block) {
        if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) return std::nullopt;
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return std::nullopt;

    if (DGifGetImageDesc(gif.get()) != GIF_OK) return std::nullopt;
    const GifImageDesc desc = gif->Image;
    if (static_cast<int>(frames.size()) >= limits.maxFrames) return std::nullopt;
    if (!withinLimits(desc.Width, desc.Height, limits)) return std::nullopt;
    totalPixels += std::int64_t{canvasWidth} * canvasHeight;
    if (totalPixels > limits.maxTotalPixels) return std::nullopt;
    const ColorMapObject* colors = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!colors || !colors->Colors) return std::nullopt;

    indices.assign(static_cast<std::size_t>(desc.Width) * desc.Height, 0);
    for (int y : gifRowOrder(desc.Height, desc.Interlace)) {
      if (DGifGetLine(gif.get(), &indices[static_cast<std::size_t>(y) * desc.Width], desc.Width) != GIF_OK)
        return std::nullopt;
    }

    std::optional<Bitmap> previous;
    if (control.DisposalMode == DISPOSE_PREVIOUS) previous = *canvas;
    // The frame as placed on the canvas (it may reach beyond it; that part is not shown).
    const int x0 = std::max(desc.Left, 0), y0 = std::max(desc.Top, 0);
    const int x1 =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{desc.Left} + desc.Width, canvasWidth));
    const int y1 =
        static_cast<int>(std::min<std::int64_t>(std::int64_t{desc.Top} + desc.Height, canvasHeight));
    for (int y = y0; y < y1; ++y) {
      const GifPixelType* line = &indices[static_cast<std::size_t>(y - desc.Top) * desc.Width];
      for (int x = x0; x < x1; ++x) {
        int index = line[x - desc.Left];
        if (index == control.TransparentColor || index >= colors->ColorCount) continue;
        const GifColorType& c = colors->Colors[index];
        canvas->setPixel(x, y, Pixel{c.Red, c.Green, c.Blue, 255});
      }
    }
    frames.push_back(DecodedFrame{*canvas, control.DelayTime / 100.0});

    if (control.DisposalMode == DISPOSE_BACKGROUND) {
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) canvas->setPixel(x, y, Pixel{});
    } else if (previous) {
      canvas = std::move(previous);
    }
    control = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  }
  if (frames.empty()) return std::nullopt;
  return frames;
}

std::optional<std::vector<DecodedFrame>> ImageCodec::decode(const std::uint8_t* data, std::size_t size,
                                                            const DecodeLimits& limits) {
  std::optional<Bitmap> still;
  switch (formatOfData(data, size)) {
    case ImageFormat::PNG:
      still = decodePNG(data, size, limits);
      break;
    case ImageFormat::JPEG:
      still = decodeJPEG(data, size, limits);
      break;
    case ImageFormat::GIF:
      return decodeGIF(data, size, limits);
    case ImageFormat::Unknown:
      return std::nullopt;
  }
  if (!still) return std::nullopt;
  std::vector<DecodedFrame> frames;
  frames.push_back(DecodedFrame{std::move(*still), 0});
  return frames;
}

Data ImageCodec::encodePNG(const Bitmap& bitmap) {
  if (bitmap.isEmpty()) return {};
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.width());
  image.height = static_cast<png_uint_32>(bitmap.height());
  std::vector<std::uint8_t> rgb;
  const void* pixels = bitmap.data();
  png_int_32 stride = static_cast<png_int_32>(bitmap.bytesPerRow());
  if (bitmap.hasAlpha()) {
    image.format = PNG_FORMAT_RGBA;
  } else {
    image.format = PNG_FORMAT_RGB;
    rgb.resize(static_cast<std::size_t>(bitmap.width()) * bitmap.height() * 3);
    const std::uint8_t* p = bitmap.data();
    for (std::size_t i = 0, j = 0; j < rgb.size(); i += 4, j += 3) {
      rgb[j] = p[i];
      rgb[j + 1] = p[i + 1];
      rgb[j + 2] = p[i + 2];
    }
    pixels = rgb.data();
    stride = bitmap.width() * 3;
  }
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, pixels, stride, nullptr)) return {};
  Data out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, stride, nullptr)) return {};
  out.resize(size);
  return out;
}

Data ImageCodec::encodeJPEG(const Bitmap& bitmap, double quality) {
  if (bitmap.isEmpty()) return {};
  if (!(quality >= 0)) quality = 0;  // NaN as well
  int q = static_cast<int>(std::lround(std::min(quality, 1.0) * 100));
  JpegEncodeState state;
  bool ok = encodeJpegInto(state, bitmap, std::max(q, 1));
  Data out;
  if (ok && state.buffer) out.assign(state.buffer, state.buffer + state.size);
  std::free(state.buffer);
  return out;
}

}  // namespace platform
