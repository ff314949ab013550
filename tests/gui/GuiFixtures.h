// Fixtures for the control tree and the graphic engine: an engine of the test's own attached to a headless
// paint box, a skin that paints plain recognisable boxes, and a control that records what reaches it.
#pragma once

#include "gui/uBitmap32.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGUIControl.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

// Frames fill their rectangle with one colour per name and draw a darker one-pixel outline; parts fill theirs
// with a colour of name and index. Every call is logged.
class TBoxSkin : public kv::TKVCustomGamesSkin {
public:
  static kv::TColor32 FrameColor(const std::string& name) {
    uint32_t h = 2166136261u;
    for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
    return 0xFF000000u | (h & 0x00FFFFFFu) | 0x00101010u;
  }
  static kv::TColor32 PartColor(const std::string& name, int32_t index) {
    return FrameColor(name + "#" + std::to_string(index));
  }
  void DrawFrame(const kv::TKVPainter& target, const kv::TRect& rect, const std::string& name) override {
    Calls.push_back("frame " + name);
    target.FillRect(rect, FrameColor(name));
    target.FrameRect(rect, 0xFF202020u);
  }
  void DrawPart(const kv::TKVPainter& target, const kv::TRect& rect, int32_t index,
                const std::string& name) override {
    Calls.push_back("part " + name + " " + std::to_string(index));
    target.FillRect(rect, PartColor(name, index));
  }
  std::vector<std::string> Calls;
};

// An engine drawing from the box skin, with a fresh headless paint box of the given size; detached
// afterwards. Roots made with NewRootOn(Engine()) are shown by it.
class TEngineFixture : public ::testing::Test {
protected:
  static constexpr int32_t ScreenWidth = 160;
  static constexpr int32_t ScreenHeight = 120;

  void SetUp() override { Attach(ScreenWidth, ScreenHeight); }
  void TearDown() override { Detach(); }

  void Attach(int32_t width, int32_t height) {
    auto box = std::make_unique<kv::THeadlessPaintBox>();
    Box = box.get();
    Engine().CreateSurface(std::move(box));
    Engine().SetSize(width, height);
  }
  void Detach() {
    Engine().DestroySurface();
    Engine().SetPopupMenu(nullptr);
    Box = nullptr;
  }

  kv::TKVCustomGraphicEngine& Engine() { return FEngine; }
  kv::TBitmap32& Buffer() { return *Engine().GetBuffer(); }

  kv::THeadlessPaintBox* Box = nullptr;
  TBoxSkin Skin;

private:
  kv::TKVGR32GraphicEngine FEngine{Skin};
};

// Counts the surface's pixels that differ from expected (same size required).
inline int CountDifferences(const kv::TBitmap32& a, const kv::TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
  int n = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x) n += a.PixelAt(x, y) != b.PixelAt(x, y);
  return n;
}

// FNV-1a over the pixels.
inline uint64_t Checksum(const kv::TBitmap32& b) {
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      h ^= b.PixelAt(x, y);
      h *= 1099511628211ull;
    }
  return h;
}

// A control that logs what reaches it as short lines ("name down 3,4 s1 b1", "name key 27 k0 s0", ...).
class TRecorder : public kv::TKVGUIControl {
public:
  explicit TRecorder(std::vector<std::string>* log = nullptr) : Log(log) {}

  void MouseEvent(const kv::TPoint& p, int32_t kind, int32_t shift, int32_t button) override {
    static const char* const Kinds[] = {"down", "up", "move", "3", "4", "enter", "leave"};
    const std::string k = kind >= 0 && kind <= 6 ? Kinds[kind] : std::to_string(kind);
    Write(Name + " " + k + " " + std::to_string(p.X) + "," + std::to_string(p.Y) + " s" +
          std::to_string(shift) + " b" + std::to_string(button));
  }
  void KeyEvent(int32_t key, int32_t kind, int32_t shift) override {
    Write(Name + " key " + std::to_string(key) + " k" + std::to_string(kind) + " s" + std::to_string(shift));
  }
  void FocusReceived() override { Write(Name + " focus"); }
  void MouseEnter() override {
    kv::TKVGUIControl::MouseEnter();
    Write(Name + " +hover");
  }
  void MouseLeave() override {
    kv::TKVGUIControl::MouseLeave();
    Write(Name + " -hover");
  }

  std::vector<std::string>* Log;

private:
  void Write(const std::string& line) {
    if (Log) Log->push_back(line);
  }
};

} // namespace kvtest
