// Dragging on the board: a group of 20 joined pieces of a difficulty-5 game of a 1024 x 768 photograph is
// moved by a few pixels and the changed area repainted, as every mouse move of a drag does. Compare with
// BM_BlendFullArea (one blend of a whole 1024 x 768 surface).
#include "gui/uHeadlessPaintBox.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVGUIWorkspace.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawBoard.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uRLE.h"
#include "platform/uHeadlessPlatform.h"
#include "support/ImageFixtures.h"
#include "support/PieceFixtures.h"

#include <benchmark/benchmark.h>

#include <span>

namespace {

using namespace kv;

struct TDragScene {
  TKVGamesSkin Skin;
  TKVGR32GraphicEngine Engine{Skin};
  THeadlessPlatform Platform;
  THeadlessPaintBox* Box = nullptr;
  TKVGUIOwner<TKVGUIWorkspace> Root;
  TKVJigsawBoard* Board = nullptr;
  TPoint Pointer;

  TDragScene() {
    const TKVJigsawPieceLibrary library = kvtest::GeneratedGameLibrary(1024, 768);
    TKVJigsawCut cut;
    cut.Picture.Assign(DecodeJpeg(kvtest::MakePhotoJpeg(1024, 768, 5, 90)));
    TKVJigsawCarver carver;
    TPieceBuildOptions options;
    options.Difficulty = 5;
    options.AreaWidth = 1024;
    options.AreaHeight = 768;
    TPieces pieces;
    TRandomSource random(1);
    BuildPieces(library, cut, carver, options, pieces, random);

    TKVCustomGraphicEngine& engine = Engine;
    engine.DestroySurface();
    auto box = std::make_unique<THeadlessPaintBox>();
    Box = box.get();
    engine.CreateSurface(std::move(box));
    engine.SetSize(1024, 768);
    Root = NewRootOn<TKVGUIWorkspace>(Engine);
    Root->SetSize(1024, 768);
    Root->SetEnabled(true);
    Board = &NewChild<TKVJigsawBoard>(*Root, Platform.Services());
    Board->SetSize(1024, 768);
    Board->LoadPieces(std::move(pieces), cut.Cols(library), cut.Rows(library));
    Board->CellWidth = cut.CellWidth(library);
    Board->CellHeight = cut.CellHeight(library);
    Board->DragMode = true;
    Board->Prepare();
    Board->Start();
    // A block of 5 x 4 pieces joined at their places in the middle of the scattered rest.
    for (int32_t r = 4; r < 8; ++r)
      for (int32_t c = 4; c < 9; ++c) {
        TKVBoardPiece& p = Board->Piece(r, c);
        p.Rotation = 0;
        p.X = 250 + p.CorrectX - Board->Piece(4, 4).CorrectX;
        p.Y = 200 + p.CorrectY - Board->Piece(4, 4).CorrectY;
        p.Joined = 1;
        Board->RaisePiece(c, r);
      }
    Board->InvalidateChanges();
    engine.RepaintNow();
    Pointer = Grip(5, 5);
    Root->DispatchMouse(Pointer, kvmkDown, 0, kvmbLeft);
    Box->Frame();
  }
  ~TDragScene() {
    Root.reset();
    Engine.DestroySurface();
  }

  // An opaque pixel near the middle of the piece.
  TPoint Grip(int32_t row, int32_t col) const {
    const TKVBoardPiece& p = Board->Piece(row, col);
    const TCodedImage& coded = Board->Sprite(row, col).Images[p.Rotation];
    std::vector<uint32_t> words(static_cast<std::size_t>(p.DisplayWidth()) * p.DisplayHeight());
    TRLE::Decode(std::span<const uint8_t>(coded.data(), coded.size()), words);
    for (int32_t d = 0; d < p.DisplayWidth() / 2; ++d) {
      const int32_t x = p.DisplayWidth() / 2 + d, y = p.DisplayHeight() / 2;
      if (words[static_cast<std::size_t>(y) * p.DisplayWidth() + x] >> 24 == 255)
        return TPoint{p.X + x, p.Y + y};
    }
    return TPoint{p.X + p.DisplayWidth() / 2, p.Y + p.DisplayHeight() / 2};
  }
};

void BM_DragStep(benchmark::State& state) {
  TDragScene scene;
  if (scene.Board->GrabbedCount() != 20) {
    state.SkipWithError("the group was not picked up whole");
    return;
  }
  int step = 0;
  double area = 0;
  for (auto _ : state) {
    // Back and forth by a few pixels.
    const int dx = (step & 1) ? -3 : 3, dy = (step & 1) ? -2 : 2;
    ++step;
    scene.Pointer = TPoint{scene.Pointer.X + dx, scene.Pointer.Y + dy};
    scene.Root->DispatchMouse(scene.Pointer, kvmkMove, 0, kvmbLeft);
    scene.Box->Frame();
    for (const TRect& r : scene.Box->LastPresented) area += static_cast<double>(r.Width()) * r.Height();
    benchmark::ClobberMemory();
  }
  state.counters["pieces"] = scene.Board->PieceCount();
  state.counters["repainted_px"] = benchmark::Counter(area / static_cast<double>(step));
}
BENCHMARK(BM_DragStep)->Unit(benchmark::kMicrosecond);

// Picking up the finished puzzle (every piece of the game in one group), moving it and dropping it: the
// drop settles every joined piece.
void BM_DropWholePuzzle(benchmark::State& state) {
  TDragScene scene;
  scene.Root->DispatchMouse(scene.Pointer, kvmkUp, 0, kvmbLeft);
  scene.Board->SolveAll(0);
  while (scene.Board->FlyingCount() > 0) scene.Platform.Advance(10);
  scene.Box->Frame();
  if (!scene.Board->Won()) {
    state.SkipWithError("the puzzle was not solved");
    return;
  }
  const TPoint grip = scene.Grip(3, 3);
  int step = 0;
  for (auto _ : state) {
    const int d = (step++ & 1) ? -3 : 3;
    scene.Root->DispatchMouse(grip, kvmkDown, 0, kvmbLeft);
    scene.Root->DispatchMouse(TPoint{grip.X + d, grip.Y + d}, kvmkMove, 0, kvmbLeft);
    scene.Root->DispatchMouse(TPoint{grip.X + d, grip.Y + d}, kvmkUp, 0, kvmbLeft);
  }
  state.counters["pieces"] = scene.Board->PieceCount();
}
BENCHMARK(BM_DropWholePuzzle)->Unit(benchmark::kMillisecond);

} // namespace
