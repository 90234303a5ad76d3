#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "mapsdk/engine/CVGlobalMan.h"
#include "mapsdk/raster/CVBitmap.h"
#include "mapsdk/raster/CVBrush.h"
#include "mapsdk/raster/CVDC.h"
#include "mapsdk/raster/CVFont.h"
#include "mapsdk/raster/CVPen.h"
#include "mapsdk/raster/CVWnd.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/support/TempDir.h"

using namespace gmengine;

namespace {

TEST(CVDrawingOwnershipTest, ContextDeletedFirstEmptiesTheWrappersOfWhatItFreed) {
  CVPen pen;
  CVBitmap bitmap;
  CVBrush brush;
  {
    CVDC dc;
    ASSERT_EQ(dc.CreateCompatibleDC(), 1);
    ASSERT_EQ(pen.CreatePen(PenStyle::Solid, 3, 0xFFFF0000u), 1);
    ASSERT_EQ(bitmap.CreateBitmap(_VSize{4, 4}), 1);
    ASSERT_EQ(brush.CreateSolidBrush(0xFF00FF00u), 1);
    VPen* oldPen = dc.SelectObject(&pen);
    VBitmap* oldBitmap = dc.SelectObject(&bitmap);
    ASSERT_NE(oldPen, nullptr);
    ASSERT_NE(oldBitmap, nullptr);
    EXPECT_EQ(pen.DeleteObject(), 0);  // refused while selected
    EXPECT_EQ(bitmap.DeleteObject(), 0);
    // The replaced defaults are the caller's now.
    EXPECT_EQ(VFreePen(oldPen), 1);
    EXPECT_EQ(FreeBitmapData(oldBitmap), 1);
    EXPECT_EQ(VFreeBrush(dc.SelectObject(&brush)), 1);
    EXPECT_EQ(dc.SelectObject(dc.SelectObject(&brush)),
              brush.GetHandle());  // selecting the current brush again changes nothing
  }
  // The context freed the pen and bitmap; the wrappers hold nothing to free a second time.
  EXPECT_EQ(pen.GetHandle(), nullptr);
  EXPECT_EQ(bitmap.GetHandle(), nullptr);
  EXPECT_EQ(brush.GetHandle(), nullptr);
  EXPECT_EQ(bitmap.GetBitmapSize(), _VSize{});
  EXPECT_EQ(pen.CreatePen(PenStyle::Dotted, 0, 0), 1);
}

TEST(CVDrawingOwnershipTest, WrapperGoneWhileSelectedLeavesTheObjectToTheContext) {
  CVDC dc;
  ASSERT_EQ(dc.CreateCompatibleDC(), 1);
  VPen* defaultPen = nullptr;
  {
    CVPen pen;
    pen.CreatePen(PenStyle::Solid, 2, 0xFF0000FFu);
    defaultPen = dc.SelectObject(&pen);
  }
  // Re-selecting the default lets go of the orphan, which nobody holds: freed, answered as null.
  EXPECT_EQ(dc.SelectObject(defaultPen), nullptr);
  {
    CVFont font;
    VFont* f = VCreateFont(10, 0, u"MSYH.TTF", nullptr);
    EXPECT_EQ(f, nullptr);  // no platform information given
    EXPECT_EQ(font.CreateFont(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, u"MSYH.TTF", nullptr), 0);
    // The drawer's platform information is enough, with no engine built: a face name is still needed.
    const CVGlobalMan platform;
    EXPECT_EQ(VCreateFont(10, 0, nullptr, &platform), nullptr);
    EXPECT_EQ(font.CreateFont(0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, u"MSYH.TTF", &platform), 1);
    ASSERT_TRUE(font.GetHandle());
    EXPECT_EQ(font.GetHandle()->height, 12);  // a height below 1 takes the width
    EXPECT_EQ(font.GetHandle()->width, 12);
    EXPECT_EQ(font.CreateFont(8, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, u"MSYH.TTF", &platform),
              0);  // not empty
    CVBitmap bitmap;
    bitmap.CreateBitmap(3, 3, 1, 32, nullptr);
    VBitmap* old = dc.SelectObject(&bitmap);
    FreeBitmapData(old);
  }
  EXPECT_EQ(dc.DeleteDC(), 1);  // frees the orphaned bitmap (LeakSanitizer would tell)
  EXPECT_FALSE(dc.IsValid());
  EXPECT_EQ(dc.DeleteDC(), 1);
}

TEST(CVDrawingOwnershipTest, ANewPenReplacesTheOneHeldEvenWhileItIsSelected) {
  CVPen pen;
  ASSERT_EQ(pen.CreatePen(PenStyle::Solid, 1, 0xFF112233u), 1);
  // The first pen is freed (LeakSanitizer would tell).
  ASSERT_EQ(pen.CreatePen(PenStyle::Dotted, 2, 0xFF445566u), 1);
  ASSERT_NE(pen.GetHandle(), nullptr);
  EXPECT_EQ(pen.GetHandle()->style, PenStyle::Dotted);
  EXPECT_EQ(pen.GetHandle()->width, 2);
  EXPECT_EQ(pen.GetHandle()->color, 0xFF445566u);
  VPen* third = nullptr;
  {
    CVDC dc;
    ASSERT_EQ(dc.CreateCompatibleDC(), 1);
    VPen* defaultPen = dc.SelectObject(&pen);
    ASSERT_NE(defaultPen, nullptr);
    // The selected pen is left to the context; the wrapper holds the new one.
    ASSERT_EQ(pen.CreatePen(PenStyle::Solid, 4, 0xFF778899u), 1);
    third = pen.GetHandle();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->width, 4);
    EXPECT_EQ(dc.SelectObject(defaultPen), nullptr);  // the orphan is freed on the way out
    EXPECT_EQ(dc.SelectObject(&pen), defaultPen);
    EXPECT_EQ(VFreePen(defaultPen), 1);
  }
  // The context freed the pen selected last, which was the wrapper's own: nothing left to hold.
  EXPECT_EQ(pen.GetHandle(), nullptr);
}

TEST(CVDrawingOwnershipTest, AttachedHandlesAreNeverFreedByTheWrapper) {
  VPen* raw = VCreatePen(PenStyle::Solid, 1, 0);
  {
    CVPen pen;
    ASSERT_EQ(pen.Attach(raw), 1);
    EXPECT_EQ(pen.Attach(raw), 0);
    EXPECT_EQ(pen.DeleteObject(), 0);
  }
  CVPen pen;
  pen.Attach(raw);
  EXPECT_EQ(pen.Detach(), raw);
  EXPECT_EQ(pen.GetHandle(), nullptr);
  CVPen owner;
  owner.CreatePen(PenStyle::Solid, 1, 0);
  EXPECT_EQ(owner.Detach(), nullptr);  // an owned handle is not given away
  EXPECT_EQ(VFreePen(raw), 1);

  VDC* rawDc = VCreateDC();
  {
    CVDC dc;
    ASSERT_EQ(dc.Attach(rawDc), 1);
    EXPECT_EQ(dc.DeleteDC(), 0);
  }
  EXPECT_EQ(VFreeDC(rawDc), 1);
}

TEST(CVDrawingTest, DrawTextLeavesTheBitmapAndMeasuresEmpty) {
  CVDC dc;
  dc.CreateCompatibleDC();
  CVBitmap bitmap;
  bitmap.CreateBitmap(4, 4, 1, 32, nullptr);
  VBitmap* old = dc.SelectObject(&bitmap);
  FreeBitmapData(old);
  std::vector<std::uint8_t> before(static_cast<const std::uint8_t*>(bitmap.GetBits()),
                                   static_cast<const std::uint8_t*>(bitmap.GetBits()) + 64);
  EXPECT_EQ(dc.DrawText(u"label", 5, _VRect(0, 0, 4, 4)), 0);
  EXPECT_EQ(dc.GetTextExtent(u"label", 5), _VSize{});
  EXPECT_EQ(std::memcmp(before.data(), bitmap.GetBits(), 64), 0);
  EXPECT_EQ(bitmap.GetBitmapInfo()->biSizeImage, 64u);
}

// A view that counts the pictures its window told it of.
struct CountingWndView final : CVWndView {
  void OnWindowUpdate(const CVWnd& window) override {
    ++updates;
    lastBuffer = window.GetBackBuffer();
  }
  int updates = 0;
  const VBitmap* lastBuffer = nullptr;
};

TEST(CVWndTest, SetWindowPosGivesABackBufferOwnedByTheContextAndOnlyItsLiveViewIsTold) {
  CVWnd wnd;
  EXPECT_EQ(wnd.SetWindowPos(0, 0, _VSize{10, 10}), 0);  // not created yet
  EXPECT_EQ(wnd.UpdateWindow(), 0);
  auto view = std::make_shared<CountingWndView>();
  ASSERT_EQ(wnd.Create(view), 1);
  EXPECT_EQ(wnd.Create(view), 0);
  EXPECT_EQ(wnd.GetClientRect(), _VRect());
  ASSERT_EQ(wnd.SetWindowPos(5, 6, _VSize{32, 20}), 1);
  EXPECT_EQ(wnd.GetClientRect(), _VRect(0, 0, 32, 20));
  EXPECT_EQ(wnd.x(), 5);
  const VBitmap* first = wnd.GetBackBuffer();
  EXPECT_EQ(wnd.SetWindowPos(0, 0, _VSize{0, 40}), 0);  // the old buffer stays
  EXPECT_EQ(wnd.GetBackBuffer(), first);
  EXPECT_EQ(wnd.GetDC()->FillSolidRect(_VRect(0, 0, 32, 20), 0xFF102030u), 1);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(first->pixels)[0], 0xFF102030u);
  ASSERT_EQ(wnd.SetWindowPos(0, 0, _VSize{16, 8}), 1);
  EXPECT_EQ(wnd.GetClientRect(), _VRect(0, 0, 16, 8));

  // The window tells its own view with the buffer to show, then everyone else, as the sender.
  int announced = 0;
  const void* sender = nullptr;
  auto token = platform::NotificationCenter::defaultCenter().addObserver(
      kNotificationMainMapPaint, nullptr, [&](const platform::Notification& note) {
        ++announced;
        sender = note.object;
        EXPECT_EQ(view->updates, 1);  // the view first
      });
  EXPECT_EQ(wnd.UpdateWindow(), 1);
  platform::NotificationCenter::defaultCenter().removeObserver(token);
  EXPECT_EQ(view->updates, 1);
  EXPECT_EQ(view->lastBuffer, wnd.GetBackBuffer());
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(sender, &wnd);

  // Another view takes the window over; one that went away is not told.
  auto second = std::make_shared<CountingWndView>();
  wnd.SetView(second);
  EXPECT_EQ(wnd.UpdateWindow(), 1);
  EXPECT_EQ(view->updates, 1);
  EXPECT_EQ(second->updates, 1);
  second.reset();
  EXPECT_EQ(wnd.UpdateWindow(), 0);
}

std::vector<std::uint8_t> BmpFile(char second, int bits, int width, int height) {
  BITMAPINFOHEADER info;
  info.biWidth = width;
  info.biHeight = height;
  info.biBitCount = static_cast<std::uint16_t>(bits);
  std::int64_t stride = VBitmapStride(bits, width);
  std::vector<std::uint8_t> file(14 + sizeof info, 0);
  file[0] = 'B';
  file[1] = static_cast<std::uint8_t>(second);
  std::memcpy(file.data() + 14, &info, sizeof info);
  std::int64_t rows = height < 0 ? -height : height;
  for (std::int64_t y = 0; y < rows && stride * rows < 1 << 20; ++y)
    for (std::int64_t b = 0; b < stride; ++b) file.push_back(static_cast<std::uint8_t>(y + 1));
  return file;
}

TEST(CVBitmapTest, LoadBitmapTakesThirtyTwoBitFilesBottomUpAndRefusesTheRest) {
  kavro::test::TempDir dir;
  auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = dir.path() + "/" + name;
    EXPECT_TRUE(platform::FileManager::createFileAtPath(path, bytes));
    return CVString::FromUtf8(path);
  };
  CVBitmap ok;
  ASSERT_EQ(ok.LoadBitmap(write("ok.bmp", BmpFile('M', 32, 2, 3))), 1);
  EXPECT_EQ(ok.GetBitmapSize(), (_VSize{2, 3}));
  // The file's last row is the top one.
  EXPECT_EQ(static_cast<const std::uint8_t*>(ok.GetBits())[0], 3);
  EXPECT_EQ(ok.LoadBitmap(write("ok2.bmp", BmpFile('M', 32, 2, 3))), 0);  // only when empty

  CVBitmap refused;
  EXPECT_EQ(refused.LoadBitmap(write("24.bmp", BmpFile('M', 24, 2, 2))), 0);
  EXPECT_EQ(refused.LoadBitmap(write("be.bmp", BmpFile('E', 32, 2, 2))), 0);
  EXPECT_EQ(refused.LoadBitmap(write("huge.bmp", BmpFile('M', 32, 100000, 100000))), 0);
  EXPECT_EQ(refused.LoadBitmap(write("neg.bmp", BmpFile('M', 32, -2, 2))), 0);
  std::vector<std::uint8_t> cut = BmpFile('M', 32, 4, 4);
  cut.resize(cut.size() - 5);
  EXPECT_EQ(refused.LoadBitmap(write("cut.bmp", cut)), 0);
  EXPECT_EQ(refused.LoadBitmap(CVString::FromUtf8(dir.path() + "/missing.bmp")), 0);
  EXPECT_EQ(refused.LoadPNG(write("notpng.png", BmpFile('M', 32, 2, 2))), 0);
  EXPECT_EQ(refused.GetBitmapSize(), _VSize{});
  EXPECT_EQ(refused.GetBits(), nullptr);
}

}  // namespace
