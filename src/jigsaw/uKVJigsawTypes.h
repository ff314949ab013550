// One piece of a game as the board keeps it, and the drop-shadow blur of its images.
#pragma once

#include "data/uJigsawFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kv {

// Leaves new elements uninitialised: coded images are written in full right after they are sized, and
// clearing them first would double the cost of coding every piece.
template <class T> struct TUninitializedAllocator : std::allocator<T> {
  template <class U> struct rebind { using other = TUninitializedAllocator<U>; };
  TUninitializedAllocator() = default;
  template <class U> TUninitializedAllocator(const TUninitializedAllocator<U>&) noexcept {}
  template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
  template <class U, class... Args> void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Run-length-coded pixels of one piece image (see TRLE).
using TCodedImage = std::vector<uint8_t, TUninitializedAllocator<uint8_t>>;
// The uncoded shadow of one piece image: Width x Height words.
using TShadowImage = std::vector<uint32_t, TUninitializedAllocator<uint32_t>>;

// A built piece: its saved state, where it sits in the cut, and its images.
struct TPiece : TJigsawPieceState {
  // Run-length-coded image per rotation (empty when absent) and its byte length.
  std::array<TCodedImage, 4> Images;
  std::array<int32_t, 4> ImageSizes{};
  // Uncoded shadow per rotation, ShadowPixels words each; empty when not made yet.
  std::array<TShadowImage, 4> Shadows;
  int32_t ShadowPixels = 0;
  // Rotations whose shadow the build owes (bit k): made from the image, as the build makes them, when first
  // drawn.
  uint8_t OwedShadows = 0;
  // Height of the top template, width of the right one, and so on; 0 for a straight side.
  uint8_t TopSize = 0;
  uint8_t RightSize = 0;
  uint8_t BottomSize = 0;
  uint8_t LeftSize = 0;
  int32_t Column = 0;
  int32_t Row = 0;

  // The saved state alone.
  TJigsawPieceState& State() { return *this; }
  const TJigsawPieceState& State() const { return *this; }
  // Replaces the coded image of rotation k and keeps ImageSizes in step.
  void SetImage(int k, TCodedImage coded);
  bool HasImage(int k) const { return !Images[k].empty(); }
  bool HasShadow(int k) const { return !Shadows[k].empty(); }
  // Width and height of the image in rotation k (turned by odd quarter turns they swap).
  int32_t RotatedWidth(int k) const { return (k & 1) ? Height : Width; }
  int32_t RotatedHeight(int k) const { return (k & 1) ? Width : Height; }
};

// The 40-byte saved form of a piece and back; the images are not part of it. A saved game records each edge
// as one byte, so a piece whose edge shape lies beyond it raises kv::Exception with TooManyEdgeShapesMessage.
TJigsawPieceState PieceState(const TPiece& piece);
void ApplyPieceState(TPiece& piece, const TJigsawPieceState& state);

// Pieces indexed [row][column].
using TPieces = std::vector<std::vector<TPiece>>;

// The states of a grid of pieces for saving a game; the pieces are not owned and must outlive it.
class TPieceGridStates : public IPieceStateSource {
public:
  explicit TPieceGridStates(const TPieces& pieces) : Pieces(pieces) {}
  int32_t Rows() const override { return static_cast<int32_t>(Pieces.size()); }
  // Rows of unequal length are no grid: none of them is taken as its width.
  int32_t Columns() const override;
  TJigsawPieceState State(int32_t row, int32_t column) const override;

private:
  const TPieces& Pieces;
};

// Entry i = i div 25: the mean of a 5 x 5 sum of alpha values (at most 6375).
using TAverageTable = std::array<uint8_t, 6400>;
const TAverageTable& AverageTable();

// The pixels of a w x h image turned a quarter turn clockwise (h wide, w high): out(r, c) =
// source(h - 1 - c, r).
void RotateQuarter(const uint32_t* source, int32_t w, int32_t h, uint32_t* out);
// Reverses n words in place: a w x h image turned by half a turn.
void ReverseWords(uint32_t* words, std::size_t n);
// The coded image of width x height turned quarterTurns quarter turns clockwise, coded again: the same bytes
// as coding the turned pixels.
TCodedImage TurnCodedImage(const TCodedImage& coded, int32_t width, int32_t height, int quarterTurns);

// Gives every pixel of `pixels` the colour (grey, grey, grey), alpha kept, then writes into `shadow` the
// pixels with their alpha replaced by the 5 x 5 box mean of the alphas around them (outside counts 0).
// `shadow` may equal `pixels`: the blur then runs in place and later pixels see blurred neighbours.
// Both buffers hold width * height words.
void BlurShadow(uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table);

// The shadow alone: `shadow` gets the grey with the 5 x 5 mean alpha of `pixels`, which stay as they are.
void MakeShadow(const uint32_t* pixels, uint32_t* shadow, int32_t width, int32_t height, uint8_t grey,
                const TAverageTable& table);

} // namespace kv
