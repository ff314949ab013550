// The board's animations on its thread timer: quarter turns of pieces and groups (20 ms ticks), and the
// automatic moves of the solving aids (10 ms ticks) with the targets they fly to.
#pragma once

#include "jigsaw/uKVJigsawBoardHost.h"
#include "jigsaw/uKVJigsawBoardModel.h"
#include "platform/uServices.h"
#include "sound/uKVThreadTimer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>

namespace kv {

class TKVJigsawBoardAnimator {
public:
  // services: the thread timers and the random draws of solving one piece.
  TKVJigsawBoardAnimator(TKVJigsawBoardModel& model, IKVJigsawBoardHost& host,
                         const TPlatformServices& services);
  ~TKVJigsawBoardAnimator();
  TKVJigsawBoardAnimator(const TKVJigsawBoardAnimator&) = delete;
  TKVJigsawBoardAnimator& operator=(const TKVJigsawBoardAnimator&) = delete;

  // Degrees per tick of a turn, pixels per axis per tick of an automatic move.
  uint8_t RotationStep = 10;
  uint8_t FlyStep = 15;

  const TKVThreadTimer& Timer() const { return *FTimer; }
  void Stop() { FTimer->SetEnabled(false); }

  // Starts turning p's group about the board point (x, y); the first turning piece starts the timer.
  void StartTurn(std::size_t p, int32_t x, int32_t y);
  // timer: true when run by the timer, false to finish every turn at once.
  void TurnTick(bool timer);

  // Flies a loose piece next to one of its neighbours (or, alone on the board, to its place in the
  // picture). False, and nothing happens, when every piece is joined.
  bool SolveOnePiece();
  // Flies every piece, unturned, to its place in the picture.
  void SolveAll();
  void FlyTick();

private:
  int32_t RandomBelow(int32_t limit);
  void StartTimer(std::function<void()> handler, uint32_t interval);
  // The piece to solve: the one last picked up when loose, else a random loose one.
  std::optional<std::size_t> ChooseLoosePiece();

  TKVJigsawBoardModel& FModel;
  IKVJigsawBoardHost& FHost;
  std::shared_ptr<TRandomSource> FRandom;
  std::minstd_rand FFallbackRandom;
  std::unique_ptr<TKVThreadTimer> FTimer;
};

} // namespace kv
