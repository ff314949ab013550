// A headless game session over a small package made here: one photo-like picture, the generated piece
// shapes, a sound in each event slot, a headless paint box as the client area and the manual clock.
#pragma once

#include "data/uExecData.h"
#include "gui/uHeadlessPaintBox.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvtest {

// The bytes of the test sound of a sound id: they name the id.
std::vector<uint8_t> SoundBytes(uint32_t soundId);

// Sound ids of the package: slot s has sound 10 + s.
inline constexpr uint32_t kFirstSoundId = 10;

// A package with picture 1 (width x height), the piece shapes the game needs for it, and sounds in the slots
// of the game's events (WAV format).
void BuildSessionPackage(kv::TJigsawProject2& project, int width = 200, int height = 150);
// Adds a wallpaper (a JPEG of a single colour) and makes it the start wallpaper; returns its id.
uint32_t AddWallpaper(kv::TJigsawProject2& project, int width, int height, kv::TColor32 colour,
                      int32_t drawStyle);

class SessionTest : public ::testing::Test {
protected:
  static constexpr int kClientWidth = 640;
  static constexpr int kClientHeight = 480;

  SessionTest();
  void SetUp() override;
  void TearDown() override;

  // A larger playing area for games played by mouse: pieces then seldom lie on each other.
  void Enlarge() {
    ClientWidth = 1200;
    ClientHeight = 900;
    Engine.SetSize(ClientWidth, ClientHeight);
  }
  // Reset, the picture of the package, the difficulty, Prepare, Start.
  void StartGame(uint8_t difficulty = 0);
  kv::TKVJigsawBoard& Board() { return *App->Board(); }
  // Plays of the channel holding the sound of this id; 0 when none was opened.
  int Plays(uint32_t soundId) const;
  // Whether the sound's channel is playing now.
  bool Playing(uint32_t soundId) const;
  // Advances the clock in steps until cond holds or ms have passed.
  bool AdvanceUntil(const std::function<bool()>& cond, int64_t ms, int64_t step = 10);

  // Piece index (row * columns + column) of the topmost visible piece with a pixel at board point (x, y).
  std::optional<std::size_t> TopPieceAt(int32_t x, int32_t y);
  // A board point where the piece is the one the board would pick up, if any.
  std::optional<kv::TPoint> PickPoint(int32_t row, int32_t col);
  // Inside the client area and not under the preview window.
  bool Reachable(int32_t x, int32_t y) const;
  // A left-button drag through the client area from (x, y) by (dx, dy).
  void Drag(int32_t x, int32_t y, int32_t dx, int32_t dy);
  // Drags the placed pieces (one group) to a place where they cover no loose piece; false when there is none.
  bool MoveGroupAside(const std::vector<bool>& placed);
  // Assembles the puzzle by dragging every piece next to its placed neighbour, row by row; false when a piece
  // could not be reached.
  bool AssembleByMouse();

  kv::THeadlessPlatform Platform;
  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPaintBox* Box = nullptr;
  kv::TJigsawProject2 Project;
  std::unique_ptr<kv::TKVJigsawApplication> App;
  int ClientWidth = kClientWidth;
  int ClientHeight = kClientHeight;
  int Wins = 0;
  int TimeOuts = 0;
  int ClockTicks = 0;
};

} // namespace kvtest
