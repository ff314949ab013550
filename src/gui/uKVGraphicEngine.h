// The graphic engine: the one object through which every control of the playing area and the board draw.
// It owns the paint surface (TKVPaintBox) and its back buffer, clips every drawing operation to the area
// being repainted, and runs the frames that repaint the control trees' changed areas. Its owner (the main
// window, or a test) makes it with the skin it draws from; the root of each control tree it shows holds it,
// and every control of the tree reaches it through its root.
//
// Repainting: a control tree asks for an area with InvalidateRect(root, area); the paint box collects the
// areas and asks the platform for one frame. The frame fills each collected area with the paint box's
// background colour and paints every registered root into it with the clip set to that area, so that what is
// shown is exactly what a repaint of the whole tree would show. Inside PaintContent a control (the board
// too) draws with the engine's operations or with Painter(), which carry the current clip.
#pragma once

#include "core/uKVTypes.h"
#include "core/uScopeGuard.h"
#include "gui/uBitmap32.h"
#include "gui/uKVPaintBox.h"
#include "gui/uKVPainter.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kv {

class IPopupMenu;
class TKVCustomGamesSkin;
class TKVGUIControl;

class TKVCustomGraphicEngine {
public:
  // Draws the frames and parts of skin, which must outlive the engine; creates the measuring surface.
  explicit TKVCustomGraphicEngine(TKVCustomGamesSkin& skin);
  virtual ~TKVCustomGraphicEngine();
  TKVCustomGraphicEngine(const TKVCustomGraphicEngine&) = delete;
  TKVCustomGraphicEngine& operator=(const TKVCustomGraphicEngine&) = delete;

  virtual int32_t GetWidth() const = 0;
  virtual int32_t GetHeight() const = 0;
  virtual int32_t GetLeft() const = 0;
  virtual int32_t GetTop() const = 0;
  virtual TAlign GetAlign() const = 0;
  virtual void SetAlign(TAlign value) = 0;
  // Stores the menu (not owned).
  virtual void SetPopupMenu(IPopupMenu* menu);
  virtual int32_t GetClientHeight() const = 0;
  virtual int32_t GetClientWidth() const = 0;
  virtual void SetClientHeight(int32_t value) = 0;
  virtual void SetClientWidth(int32_t value) = 0;
  // Asks the platform to show the buffer again (nothing without a paint surface).
  virtual void Invalidate() = 0;
  // Takes the platform's paint box as the paint surface; nothing (the box is dropped) when one exists.
  virtual void CreateSurface(std::unique_ptr<TKVPaintBox> surface) = 0;
  virtual void DestroySurface() = 0;
  virtual void SetSize(int32_t width, int32_t height) = 0;
  virtual void SetPosition(int32_t left, int32_t top) = 0;
  virtual void Clear(TColor color) = 0;
  virtual bool CanPaint(int32_t state);
  virtual bool LoadBitmap(const TBitmap32& picture);
  virtual void DrawSkinFrame(const TRect& rect, const std::string& skinName, bool shadow) = 0;
  virtual void DrawSkinPart(const TRect& rect, const std::string& skinName, int32_t index) = 0;
  // Base: onto the measuring surface.
  virtual void DrawText(int32_t x, int32_t y, TColor color, const std::string& text);
  virtual void DrawBitmap(const TRect& dstRect, const TRect& srcRect, const TBitmap32& bitmap) = 0;
  virtual void DrawBox(const TRect& rect, TColor color, uint8_t alpha) = 0;
  virtual void BeginUpdate();
  virtual void EndUpdate();
  virtual int32_t TextWidth(const std::string& text);
  virtual int32_t TextHeight(const std::string& text);

  IPopupMenu* PopupMenu() const { return FPopupMenu; }
  TBitmap32& MeasuringSurface() { return FMeasure; }
  int32_t UpdateCount() const { return FUpdateCount; }

  // The paint surface's buffer, or def without a paint surface.
  virtual TBitmap32* GetBuffer(TBitmap32* def = nullptr) = 0;
  virtual TKVPaintBox* PaintBox() const = 0;

  // The area drawing operations may change, in buffer coordinates: the whole buffer outside a frame.
  virtual TRect ClipRect() const = 0;
  // A painter onto the buffer with the current clip; without a paint surface one that draws nothing.
  virtual TKVPainter Painter() = 0;
  // Narrows the clip to its part inside rect until the scope ends.
  class TClipScope {
  public:
    TClipScope(TKVCustomGraphicEngine& engine, const TRect& rect);
    ~TClipScope();
    TClipScope(const TClipScope&) = delete;
    TClipScope& operator=(const TClipScope&) = delete;

  private:
    TKVCustomGraphicEngine& FEngine;
    TRect FSaved;
  };

  // Repaint of control trees. A root (a control without a control parent) asks for an area of the buffer;
  // it stays registered and is painted, in registration order, in every frame until it is forgotten.
  virtual void InvalidateRect(TKVGUIControl& root, const TRect& rect) = 0;
  virtual void ForgetRoot(const TKVGUIControl& root) = 0;
  // Paints every root over the whole buffer and shows it now.
  virtual void RepaintNow() = 0;

  // The skin the frames and parts come from.
  void SetSkin(TKVCustomGamesSkin& skin) { FSkin = &skin; }
  TKVCustomGamesSkin& Skin() const { return *FSkin; }

protected:
  // The clip as stored (ClipRect is its part inside the buffer), and its replacement.
  virtual TRect StoredClip() const = 0;
  virtual void SetClip(const TRect& rect) = 0;
  int32_t FUpdateCount = 0;

private:
  IPopupMenu* FPopupMenu = nullptr;
  TBitmap32 FMeasure;
  TKVCustomGamesSkin* FSkin;
};

// Begins an update of the engine that ends however the scope ends: the buffer is shown once, when the
// outermost update is over.
[[nodiscard]] inline auto UpdateScope(TKVCustomGraphicEngine& engine) {
  engine.BeginUpdate();
  return TScopeExit([&engine] { engine.EndUpdate(); });
}

class TKVGR32GraphicEngine : public TKVCustomGraphicEngine {
public:
  explicit TKVGR32GraphicEngine(TKVCustomGamesSkin& skin);
  ~TKVGR32GraphicEngine() override;

  int32_t GetWidth() const override;
  int32_t GetHeight() const override;
  int32_t GetLeft() const override;
  int32_t GetTop() const override;
  TAlign GetAlign() const override;
  void SetAlign(TAlign value) override;
  void SetPopupMenu(IPopupMenu* menu) override;
  int32_t GetClientHeight() const override;
  int32_t GetClientWidth() const override;
  void SetClientHeight(int32_t value) override;
  void SetClientWidth(int32_t value) override;
  void Invalidate() override;
  void CreateSurface(std::unique_ptr<TKVPaintBox> surface) override;
  void DestroySurface() override;
  void SetSize(int32_t width, int32_t height) override;
  void SetPosition(int32_t left, int32_t top) override;
  void Clear(TColor color) override;
  void DrawSkinFrame(const TRect& rect, const std::string& skinName, bool shadow) override;
  void DrawSkinPart(const TRect& rect, const std::string& skinName, int32_t index) override;
  void DrawText(int32_t x, int32_t y, TColor color, const std::string& text) override;
  void DrawBitmap(const TRect& dstRect, const TRect& srcRect, const TBitmap32& bitmap) override;
  void DrawBox(const TRect& rect, TColor color, uint8_t alpha) override;
  void BeginUpdate() override;
  void EndUpdate() override;

  TBitmap32* GetBuffer(TBitmap32* def = nullptr) override;
  TKVPaintBox* PaintBox() const override { return FPaintBox.get(); }
  // The paint box as the application's input area.
  TKVPaintBox* ClientArea() const { return FPaintBox.get(); }

  TRect ClipRect() const override;
  TKVPainter Painter() override;
  void InvalidateRect(TKVGUIControl& root, const TRect& rect) override;
  void ForgetRoot(const TKVGUIControl& root) override;
  void RepaintNow() override;

  // Frames run so far that painted at least one area (tests and benchmarks).
  int64_t FramesPainted() const { return FFramesPainted; }
  // Every repaint request repaints and shows the whole surface: the slow way that changed-area repaints
  // are compared with.
  bool FullRepaint = false;

protected:
  TRect StoredClip() const override { return FClip; }
  void SetClip(const TRect& rect) override { FClip = rect; }

private:
  void PaintFrame(std::span<const TRect> areas);
  // Outside a frame, what was drawn still has to be shown.
  void DrawnOutsideFrame();

  std::unique_ptr<TKVPaintBox> FPaintBox;
  std::vector<TKVGUIControl*> FRoots;
  // Outside a frame nothing narrows the clip: whatever size the buffer takes, all of it.
  static constexpr TRect NoClip{-(1 << 30), -(1 << 30), 1 << 30, 1 << 30};
  TRect FClip = NoClip;
  TBitmap32 FFrameSurface;  // a skin frame before its shadow
  TBitmap32 FShadowSurface; // the frame with its shadow
  int64_t FFramesPainted = 0;
};

// The shadowed copy of source: the destination grows by offset on both axes and carries a soft grey shadow
// offset down and right of every opaque pixel, key being the colour that counts as transparent.
void MakeShadow(const TBitmap32& source, TBitmap32& dest, int32_t offset, TColor32 key);

} // namespace kv
