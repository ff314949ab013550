// A board on a headless playing area: a graphic engine of its own and its paint surface, a workspace root
// with the board, input delivered to the paint surface and routed through the control tree as the application
// routes it, the messages the board sends, and the pop-up menu it opens. Pieces are either made here (plain
// rectangles of known colours) or built from a picture by the piece builder.
#pragma once

#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGUIWorkspace.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "platform/uHeadlessPlatform.h"

#include <cstdint>
#include <functional>
#include <tuple>
#include <vector>

namespace kvtest {

// The messages a control sends to its application.
class TRecordingApplication : public kv::IKVApplication {
public:
  void PostEvent(int32_t message, int32_t& p, int32_t& q) override { Events.emplace_back(message, p, q); }
  // How many times (1024, code, value) was sent.
  int Count(kv::TAppCode code, int32_t value) const;
  int Count(kv::TAppCode code, kv::TGameEvent event) const { return Count(code, kv::ToUnderlying(event)); }
  std::vector<std::tuple<int32_t, int32_t, int32_t>> Events;
};

// Pieces of a cut and the cell size the session would give the board.
struct TGamePieces {
  kv::TPieces Pieces;
  int32_t Cols = 0;
  int32_t Rows = 0;
  int32_t CellWidth = 0;
  int32_t CellHeight = 0;
};

// Plain pieces without templates: cell-sized images, opaque, each pixel a colour of its own (so that every
// rotation and every piece looks different), coded in all four rotations; placed at their correct places.
TGamePieces MakePlainPieces(int32_t cols, int32_t rows, int32_t cellWidth, int32_t cellHeight);
// The colour of pixel (x, y) of the unrotated image of the piece at (row, col).
kv::TColor32 PlainPixel(int32_t row, int32_t col, int32_t x, int32_t y);

// Pieces built from a photo-like picture with the generated piece library, as a game builds them.
TGamePieces BuildGamePieces(int32_t pictureWidth, int32_t pictureHeight, uint8_t difficulty, bool noRotation,
                            int32_t areaWidth, int32_t areaHeight);

class TBoardScene {
public:
  // A playing area of width x height with the board covering it, or placed at boardRect.
  TBoardScene(int32_t width, int32_t height);
  TBoardScene(int32_t width, int32_t height, const kv::TRect& boardRect);
  // The same with the services the board receives changed first (a scripted random source, no boxes).
  TBoardScene(int32_t width, int32_t height, const std::function<void(kv::TPlatformServices&)>& tweak);
  ~TBoardScene();
  TBoardScene(const TBoardScene&) = delete;
  TBoardScene& operator=(const TBoardScene&) = delete;

  // Loads the pieces, sets the cell size, prepares and starts the board.
  void Play(TGamePieces game, bool dragMode = true);

  // Input on the paint surface, in its coordinates; shift in the platform's shift state.
  void Down(int32_t x, int32_t y, kv::TMouseButton button = kv::mbLeft, kv::TShiftState shift = 0);
  void Up(int32_t x, int32_t y, kv::TMouseButton button = kv::mbLeft);
  void Move(int32_t x, int32_t y, kv::TShiftState held = kv::ssLeft);
  void Key(uint16_t key, kv::TShiftState shift = 0);
  // Down at from, moves in a few steps to to, up there.
  void Drag(kv::TPoint from, kv::TPoint to);

  // A point on the shown image of the piece (an opaque pixel near its middle), in paint-surface coordinates.
  kv::TPoint Grip(int32_t row, int32_t col) const;

  // Runs the pending frame (the changed areas), if any.
  void Frame();
  // The screen after a repaint of everything.
  kv::TBitmap32 FullRepaint();
  const kv::TBitmap32& Screen() const { return Box->Screen(); }

  // Before the tree they draw it.
  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPlatform Platform;
  TRecordingApplication App;
  kv::TRecordingPopupMenu Menu;
  kv::THeadlessPaintBox* Box = nullptr;
  kv::TKVGUIOwner<kv::TKVGUIWorkspace> Root;
  kv::TKVJigsawBoard* Board = nullptr;
  int Wins = 0;

private:
  void Init(int32_t width, int32_t height, const kv::TRect& boardRect, kv::TPlatformServices services);
};

// Pixels of the background of the playing area.
kv::TColor32 Background();

} // namespace kvtest
