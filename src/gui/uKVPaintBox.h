// The paint surface of the playing area: an off-screen buffer that the platform shows, the input events a
// session takes over by name, and the collection of changed areas that are repainted once per displayed
// frame. The window behind it (a toolkit widget, or a headless one in tests) derives from TKVPaintBox.
#pragma once

#include "core/uKVTypes.h"
#include "gui/uBitmap32.h"
#include "gui/uShiftState.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace kv {

class IPopupMenu;

enum TAlign { alNone, alClient };

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Pointer shapes.
using TCursor = int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeAll = -22;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crHandPoint = -21;

// One input event of the paint box. Mouse events fill Button (down/up), Shift, X and Y; key-down and key-up
// fill Key (virtual key code) and Shift; a typed character fills KeyChar (Windows-1252). A handler may change
// Key or KeyChar; 0 swallows the key.
struct TKVInputEvent {
  TMouseButton Button = mbLeft;
  TShiftState Shift = 0;
  int32_t X = 0;
  int32_t Y = 0;
  uint16_t Key = 0;
  char KeyChar = 0;
};

class TKVPaintBox;
using TKVInputHandler = std::function<void(TKVPaintBox& sender, TKVInputEvent& event)>;

// The changed areas of a surface between two frames: a few rectangles inside the bounds. A rectangle that
// overlaps a held one by much is merged with it; past MaxRects all of them become their union.
class TKVDirtyRegion {
public:
  static constexpr std::size_t MaxRects = 8;

  void SetBounds(const TRect& bounds);
  const TRect& Bounds() const { return FBounds; }
  // Adds the part of rect inside the bounds.
  void Add(const TRect& rect);
  void AddAll() { Add(FBounds); }
  void Clear() { FRects.clear(); }
  bool Empty() const { return FRects.empty(); }
  std::span<const TRect> Rects() const { return FRects; }
  // Moves the rectangles into out (its previous contents are dropped) and empties the region; keeps both
  // vectors' storage so that steady frames do not allocate.
  void TakeInto(std::vector<TRect>& out);

private:
  TRect FBounds;
  std::vector<TRect> FRects;
};

// The platform paint box. The buffer follows the control's size; a new size invalidates the whole area.
// Repaint protocol: InvalidateRect collects areas and asks the platform for a frame (ScheduleFrame); the
// platform then calls RunFrame once on the user-interface thread, which lets the frame handler (the graphic
// engine) paint the collected areas into the buffer and hands them, with any area drawn outside a frame, to
// Present to be copied to the screen.
class TKVPaintBox {
public:
  // The frame handler paints the given areas of the buffer.
  using TFrameHandler = std::function<void(std::span<const TRect> areas)>;

  TKVPaintBox();
  virtual ~TKVPaintBox();
  TKVPaintBox(const TKVPaintBox&) = delete;
  TKVPaintBox& operator=(const TKVPaintBox&) = delete;

  TBitmap32& Buffer() { return FBuffer; }
  const TBitmap32& Buffer() const { return FBuffer; }

  // Geometry in the parent window.
  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t ClientWidth() const { return FWidth; }
  int32_t ClientHeight() const { return FHeight; }
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetPosition(int32_t left, int32_t top) { SetBounds(left, top, FWidth, FHeight); }
  void SetSize(int32_t width, int32_t height) { SetBounds(FLeft, FTop, width, height); }
  TAlign Align() const { return FAlign; }
  virtual void SetAlign(TAlign value) { FAlign = value; }

  // Background colour: what a repainted area shows where no control paints.
  TColor Color = clAppWorkSpace;
  TCursor Cursor() const { return FCursor; }
  virtual void SetCursor(TCursor value) { FCursor = value; }
  IPopupMenu* PopupMenu = nullptr;
  // Client coordinates to screen coordinates.
  virtual TPoint ClientToScreen(const TPoint& point) const = 0;
  // Gives the paint box the keyboard focus.
  virtual void SetFocus() {}

  // The published input events.
  TKVInputHandler OnMouseDown, OnMouseUp, OnMouseMove, OnMouseEnter, OnMouseLeave, OnKeyDown, OnKeyPress,
      OnKeyUp;
  // The event published under name ("OnMouseDown", ... "OnKeyUp"), or null.
  TKVInputHandler* FindEvent(std::string_view name);

  // The platform delivers input through these; each calls the handler of its event, if one is attached.
  void MouseDown(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  void MouseUp(TMouseButton button, TShiftState shift, int32_t x, int32_t y);
  void MouseMove(TShiftState shift, int32_t x, int32_t y);
  void MouseEnter();
  void MouseLeave();
  void KeyDown(uint16_t key, TShiftState shift);
  void KeyUp(uint16_t key, TShiftState shift);
  void KeyPress(char key);

  // Repaint protocol.
  void SetFrameHandler(TFrameHandler handler) { FFrameHandler = std::move(handler); }
  // The area (buffer coordinates) is to be repainted and shown in the next frame.
  void InvalidateRect(const TRect& rect);
  void InvalidateAll();
  // The area was drawn into the buffer outside a frame and only needs showing.
  void MarkChanged(const TRect& rect);
  void MarkAllChanged();
  bool FramePending() const { return FFramePending; }
  // Paints the collected areas through the frame handler and presents them; nothing when no frame is
  // pending. Called by the platform once per displayed frame, or directly for a synchronous repaint. An error
  // of the paint propagates (the caller shows it); its areas are kept for the next frame.
  void RunFrame();
  bool InFrame() const { return FInFrame; }

protected:
  // Ask the platform for one call of RunFrame on the user-interface thread. Called once per pending frame.
  virtual void ScheduleFrame() = 0;
  // Copy these areas of the buffer to the screen.
  virtual void Present(std::span<const TRect> areas) = 0;
  // After a change of size (the buffer has followed it).
  virtual void BoundsChanged() {}

private:
  void RequestFrame();
  void Fire(TKVInputHandler& handler, TKVInputEvent& event);

  TBitmap32 FBuffer;
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TCursor FCursor = crDefault;
  TFrameHandler FFrameHandler;
  TKVDirtyRegion FDirty;   // to repaint and show
  TKVDirtyRegion FChanged; // to show only
  std::vector<TRect> FFrameRects;
  std::vector<TRect> FShowRects;
  bool FFramePending = false;
  bool FInFrame = false;
};

} // namespace kv
