#include "jigsaw/BoardFixture.h"

#include "gui/uKVGraphicEngine.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uRLE.h"
#include "support/PieceFixtures.h"

#include <algorithm>
#include <cstdlib>
#include <span>

namespace kvtest {

using namespace kv;

int TRecordingApplication::Count(TAppCode code, int32_t value) const {
  return static_cast<int>(
      std::count(Events.begin(), Events.end(), std::make_tuple(kvmsgApplication, ToUnderlying(code), value)));
}

TColor32 PlainPixel(int32_t row, int32_t col, int32_t x, int32_t y) {
  return Color32(static_cast<uint8_t>(40 + 50 * row + x), static_cast<uint8_t>(20 + 30 * col + y),
                 static_cast<uint8_t>(100 + 7 * row + 11 * col + ((x + y) & 1) * 60));
}

namespace {

TCodedImage Code(const TBitmap32& bitmap) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(bitmap.Bits());
  const std::vector<uint8_t> coded = TRLE::Compress(
      std::span<const uint8_t>(bytes, static_cast<std::size_t>(bitmap.Width()) * bitmap.Height() * 4));
  return TCodedImage(coded.begin(), coded.end());
}

} // namespace

TGamePieces MakePlainPieces(int32_t cols, int32_t rows, int32_t cellWidth, int32_t cellHeight) {
  TGamePieces game;
  game.Cols = cols;
  game.Rows = rows;
  game.CellWidth = cellWidth;
  game.CellHeight = cellHeight;
  game.Pieces.resize(static_cast<std::size_t>(rows));
  for (int32_t r = 0; r < rows; ++r) {
    game.Pieces[static_cast<std::size_t>(r)].resize(static_cast<std::size_t>(cols));
    for (int32_t c = 0; c < cols; ++c) {
      TPiece& piece = game.Pieces[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      piece.Width = cellWidth;
      piece.Height = cellHeight;
      piece.CorrectX = c * cellWidth;
      piece.CorrectY = r * cellHeight;
      piece.X = piece.StartX = piece.CorrectX;
      piece.Y = piece.StartY = piece.CorrectY;
      TBitmap32 image(cellWidth, cellHeight);
      for (int32_t y = 0; y < cellHeight; ++y)
        for (int32_t x = 0; x < cellWidth; ++x) image.SetPixel(x, y, PlainPixel(r, c, x, y));
      for (int k = 0; k < 4; ++k) {
        TBitmap32 turned(image);
        if (k == 1) turned.Rotate90();
        if (k == 2) turned.Rotate180();
        if (k == 3) turned.Rotate270();
        piece.SetImage(k, Code(turned));
      }
      piece.ShadowPixels = cellWidth * cellHeight;
    }
  }
  return game;
}

TGamePieces BuildGamePieces(int32_t pictureWidth, int32_t pictureHeight, uint8_t difficulty, bool noRotation,
                            int32_t areaWidth, int32_t areaHeight) {
  const TKVJigsawPieceLibrary library = GeneratedGameLibrary(pictureWidth, pictureHeight);
  TKVJigsawCut cut;
  cut.Picture = PhotoLikeBitmap(pictureWidth, pictureHeight);
  TKVJigsawCarver carver;
  TPieceBuildOptions options;
  options.Difficulty = difficulty;
  options.NoRotation = noRotation;
  options.AreaWidth = areaWidth;
  options.AreaHeight = areaHeight;
  options.Threads = 1;
  TGamePieces game;
  TRandomSource random;
  BuildPieces(library, cut, carver, options, game.Pieces, random);
  game.Cols = cut.Cols(library);
  game.Rows = cut.Rows(library);
  game.CellWidth = cut.CellWidth(library);
  game.CellHeight = cut.CellHeight(library);
  return game;
}

TColor32 Background() {
  return Color32(clAppWorkSpace);
}

TBoardScene::TBoardScene(int32_t width, int32_t height) {
  Init(width, height, TRect{0, 0, width, height}, Platform.Services());
}

TBoardScene::TBoardScene(int32_t width, int32_t height, const TRect& boardRect) {
  Init(width, height, boardRect, Platform.Services());
}

TBoardScene::TBoardScene(int32_t width, int32_t height,
                         const std::function<void(TPlatformServices&)>& tweak) {
  TPlatformServices services = Platform.Services();
  tweak(services);
  Init(width, height, TRect{0, 0, width, height}, std::move(services));
}

void TBoardScene::Init(int32_t width, int32_t height, const TRect& boardRect, TPlatformServices services) {
  TKVCustomGraphicEngine& engine = Engine;
  engine.DestroySurface();
  auto box = std::make_unique<THeadlessPaintBox>();
  Box = box.get();
  engine.CreateSurface(std::move(box));
  engine.SetSize(width, height);
  engine.SetPopupMenu(&Menu);
  Box->ScreenOrigin = TPoint{1000, 2000};

  Root = NewRootOn<TKVGUIWorkspace>(Engine);
  Root->SetSize(width, height);
  Root->SetEnabled(true);
  Board = &NewChild<TKVJigsawBoard>(*Root, std::move(services));
  Board->SetPosition(boardRect.Left, boardRect.Top);
  Board->SetSize(boardRect.Width(), boardRect.Height());
  Board->Application = &App;
  Board->OnWin = [this](TKVGUIControl*) { ++Wins; };

  // The paint surface's input reaches the tree as the games application hands it on.
  Box->OnMouseDown = [this](TKVPaintBox&, TKVInputEvent& e) {
    Root->DispatchMouse(TPoint{e.X, e.Y}, kvmkDown, e.Shift & ssModifiers,
                        e.Button == mbLeft ? kvmbLeft : kvmbOther);
  };
  Box->OnMouseUp = [this](TKVPaintBox&, TKVInputEvent& e) {
    Root->DispatchMouse(TPoint{e.X, e.Y}, kvmkUp, e.Shift & ssModifiers,
                        e.Button == mbLeft ? kvmbLeft : kvmbOther);
  };
  Box->OnMouseMove = [this](TKVPaintBox&, TKVInputEvent& e) {
    const int32_t button = (e.Shift & ssRight) ? kvmbOther : (e.Shift & ssLeft) ? kvmbLeft : kvmbNone;
    Root->DispatchMouse(TPoint{e.X, e.Y}, kvmkMove, e.Shift & ssModifiers, button);
  };
  Box->OnKeyDown = [this](TKVPaintBox&, TKVInputEvent& e) {
    Root->DispatchKey(e.Key, kvkkKeyDown, e.Shift & ssModifiers);
  };
  Frame();
}

TBoardScene::~TBoardScene() {
  Root.reset();
  TKVCustomGraphicEngine& engine = Engine;
  engine.SetPopupMenu(nullptr);
  engine.DestroySurface();
}

void TBoardScene::Play(TGamePieces game, bool dragMode) {
  Board->LoadPieces(std::move(game.Pieces), game.Cols, game.Rows);
  Board->CellWidth = game.CellWidth;
  Board->CellHeight = game.CellHeight;
  Board->DragMode = dragMode;
  Board->Prepare();
  Board->Start();
  Frame();
}

void TBoardScene::Down(int32_t x, int32_t y, TMouseButton button, TShiftState shift) {
  Box->MouseDown(button, shift | (button == mbLeft ? ssLeft : ssRight), x, y);
}

void TBoardScene::Up(int32_t x, int32_t y, TMouseButton button) {
  Box->MouseUp(button, 0, x, y);
}

void TBoardScene::Move(int32_t x, int32_t y, TShiftState held) {
  Box->MouseMove(held, x, y);
}

void TBoardScene::Key(uint16_t key, TShiftState shift) {
  Box->KeyDown(key, shift);
}

void TBoardScene::Drag(TPoint from, TPoint to) {
  Down(from.X, from.Y);
  for (int step = 1; step <= 4; ++step)
    Move(from.X + (to.X - from.X) * step / 4, from.Y + (to.Y - from.Y) * step / 4);
  Up(to.X, to.Y);
  // The pointer moves on without a button: a release the tree could not deliver is noticed.
  Move(to.X, to.Y, 0);
}

TPoint TBoardScene::Grip(int32_t row, int32_t col) const {
  const TKVBoardPiece& piece = Board->Piece(row, col);
  const TKVPieceSprite& sprite = Board->Sprite(row, col);
  const int32_t w = piece.DisplayWidth(), h = piece.DisplayHeight();
  std::vector<uint32_t> words(static_cast<std::size_t>(w) * h, 0);
  const TCodedImage& coded = sprite.Images[piece.Rotation];
  TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()), words);
  const TRect screen = Board->GetScreenRect();
  // The opaque pixel nearest the middle.
  TPoint best{w / 2, h / 2};
  int64_t bestDistance = INT64_MAX;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      if (words[static_cast<std::size_t>(y) * w + x] >> 24 != 255) continue;
      const int64_t d = int64_t{x - w / 2} * (x - w / 2) + int64_t{y - h / 2} * (y - h / 2);
      if (d < bestDistance) {
        bestDistance = d;
        best = TPoint{x, y};
      }
    }
  return TPoint{screen.Left + piece.X + best.X, screen.Top + piece.Y + best.Y};
}

void TBoardScene::Frame() {
  Box->Frame();
}

TBitmap32 TBoardScene::FullRepaint() {
  Engine.RepaintNow();
  return Box->Screen();
}

} // namespace kvtest
