#include "jigsaw/uKVJigsawPieceBuilder.h"

#include "data/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "gui/uBlend.h"
#include "jigsaw/uRLE.h"

#include <cmath>
#include <span>

namespace kv {

namespace {

// What drawing f onto a clear pixel with dmBlend gives: colour and alpha scaled by f's alpha.
inline TColor32 OverClear(TColor32 f) {
  return BlendPixel(f, 0, f >> 24);
}

// The pixels of a w x h image turned `turns` quarter turns clockwise, row by row.
void Rotate(const TColor32* source, int32_t w, int32_t h, int turns, TColor32* out) {
  switch (turns) {
  case 0:
    std::copy(source, source + static_cast<std::size_t>(w) * h, out);
    break;
  case 1: // out(r, c) = source(r, h - 1 - c)
    for (int32_t r = 0; r < w; ++r)
      for (int32_t c = 0; c < h; ++c) *out++ = source[static_cast<std::size_t>(h - 1 - c) * w + r];
    break;
  case 2:
    std::reverse_copy(source, source + static_cast<std::size_t>(w) * h, out);
    break;
  default: // out(r, c) = source(w - 1 - r, c)
    for (int32_t r = 0; r < w; ++r)
      for (int32_t c = 0; c < h; ++c) *out++ = source[static_cast<std::size_t>(c) * w + (w - 1 - r)];
    break;
  }
}

struct TBuildScratch {
  TBitmap32 Bitmap; // the piece bitmap being coded
  std::vector<TColor32> Image;
  std::vector<TColor32> Turned;
  std::vector<uint8_t> Coded;
};

// Replaces a coded image, reusing the storage the piece had from a previous game.
void StoreImage(TPiece& piece, int k, const uint8_t* coded, std::size_t size) {
  piece.Images[k].assign(coded, coded + size);
  piece.ImageSizes[k] = static_cast<int32_t>(size);
}

// Codes the rotations asked for (bit k = rotation k) and makes the shadows asked for.
void CodePiece(const TBitmap32& bitmap, bool composite, unsigned rotations, unsigned shadows, uint8_t grey,
               TPiece& piece, TBuildScratch& scratch) {
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  scratch.Image.resize(count);
  if (composite)
    std::transform(bitmap.Bits(), bitmap.Bits() + count, scratch.Image.begin(), OverClear);
  else
    std::copy(bitmap.Bits(), bitmap.Bits() + count, scratch.Image.begin());
  scratch.Turned.resize(count);
  // The scratch only grows, so it is written without being cleared first.
  if (scratch.Coded.size() < TRLE::MaxCodedLength(count * 4))
    scratch.Coded.resize(TRLE::MaxCodedLength(count * 4));
  piece.Width = w;
  piece.Height = h;
  piece.ShadowPixels = static_cast<int32_t>(count);
  for (int k = 0; k < 4; ++k) {
    if ((rotations & 1u << k) == 0) {
      piece.Images[k].clear();
      piece.ImageSizes[k] = 0;
      piece.Shadows[k].clear();
      continue;
    }
    const TColor32* pixels = scratch.Image.data();
    if (k != 0) {
      Rotate(scratch.Image.data(), w, h, k, scratch.Turned.data());
      pixels = scratch.Turned.data();
    }
    const std::size_t coded = TRLE::CompressTo(std::span(reinterpret_cast<const uint8_t*>(pixels), count * 4),
                                               scratch.Coded.data());
    StoreImage(piece, k, scratch.Coded.data(), coded);
    if ((shadows & 1u << k) != 0) {
      piece.Shadows[k].resize(count);
      MakeShadow(pixels, piece.Shadows[k].data(), piece.RotatedWidth(k), piece.RotatedHeight(k), grey,
                 AverageTable());
    } else {
      piece.Shadows[k].clear();
    }
  }
}

std::string Translated(const TPieceBuildOptions& options, const std::string& text) {
  return options.Translate ? options.Translate(text) : text;
}

// Runs the finish hook when the build ends, also when an error interrupts it.
class TFinishGuard {
public:
  explicit TFinishGuard(const TPieceBuildOptions& options) : Options(options) {}
  ~TFinishGuard() {
    if (!Options.OnFinish) return;
    try {
      Options.OnFinish(Translated(Options, "Finish"));
    } catch (...) {
      // A failing hook must not replace the build's own error.
    }
  }
  TFinishGuard(const TFinishGuard&) = delete;
  TFinishGuard& operator=(const TFinishGuard&) = delete;

private:
  const TPieceBuildOptions& Options;
};

} // namespace

void BuildPieces(TKVJigsawPieceCollection& library, const TPieceBuildOptions& options, TPieces& pieces) {
  if (library.Picture.Width() <= 0) throw Exception("Bitmap not spesified");
  // The pieces of the previous game lend their storage to the new ones.
  TPieces previous = std::move(pieces);
  pieces.clear();
  if (options.OnStatus) options.OnStatus(Translated(options, "Creating pieces"));
  TFinishGuard finish(options);

  // The layout search replaces the preliminary picture at once: no need to scale it.
  library.SetDifficulty(options.Difficulty, false);
  library.ChooseLayout();
  library.BevelLevel = options.BevelLevel;

  const int32_t cols = library.Cols(), rows = library.Rows();
  const int32_t total = cols * rows;
  if (options.Saved) {
    // Every record of the file becomes one piece: a file cut with another library cannot be played.
    if (options.Saved->size() != static_cast<std::size_t>(total))
      throw Exception("The saved game does not fit the pieces of this picture.");
    library.PieceItems.clear();
  } else {
    // Games record edge shapes as bytes.
    if (library.TemplateCount() > TKVJigsawPieceCollection::MaxRecordedTemplates)
      throw Exception("The piece library holds more edge shapes than a game can record.");
    // Each bitmap is built below when its piece is coded, into one reused surface.
    library.AssignEdges(false);
    if (library.PieceItems.size() != static_cast<std::size_t>(total))
      throw Exception("The piece library could not cut this picture.");
  }

  TKVStandardFunc& random = TKVStandardFunc::Instance();
  const std::string of = Translated(options, "of");
  TBuildScratch scratch;
  pieces.resize(static_cast<std::size_t>(rows));
  int32_t p = 0;
  for (int32_t row = 0; row < rows; ++row) {
    auto& line = pieces[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(row) < previous.size())
      line = std::move(previous[static_cast<std::size_t>(row)]);
    line.resize(static_cast<std::size_t>(cols));
    for (int32_t col = 0; col < cols; ++col, ++p) {
      TPiece& piece = line[static_cast<std::size_t>(col)];
      piece = TPiece{.Images = std::move(piece.Images), .Shadows = std::move(piece.Shadows)};
      piece.Row = row;
      piece.Column = col;
      if (options.Saved) {
        ApplyPieceState(piece, (*options.Saved)[static_cast<std::size_t>(p)]);
        piece.Rotation &= 3;
        piece.StartRotation &= 3;
        TKVPuzzlePieceItem item;
        item.TopEdge = piece.TopEdge - 1;
        item.BottomEdge = piece.BottomEdge - 1;
        item.RightEdge = piece.RightEdge - 1;
        item.LeftEdge = piece.LeftEdge - 1;
        item.X = piece.CorrectX;
        item.Y = piece.CorrectY;
        library.PieceItems.push_back(item);
      }
      const TKVPuzzlePieceItem& item = library.Piece(p);
      library.BuildPieceBitmap(library.ScaledPicture, scratch.Bitmap, item.X, item.Y, item.TopEdge,
                               item.BottomEdge, item.RightEdge, item.LeftEdge);
      if (!options.Saved) {
        piece.Rotation = options.NoRotation ? 0 : static_cast<uint8_t>(random.RandomBelow(4));
        piece.StartRotation = piece.Rotation;
        piece.Joined = 0;
        piece.X = random.RandomBelow(options.AreaWidth - scratch.Bitmap.Width() / 2);
        piece.Y = random.RandomBelow(options.AreaHeight - scratch.Bitmap.Height() / 2);
        piece.CorrectX = item.X;
        piece.CorrectY = item.Y;
        piece.StartX = piece.X;
        piece.StartY = piece.Y;
        piece.TopEdge = static_cast<uint8_t>(item.TopEdge + 1);
        piece.BottomEdge = static_cast<uint8_t>(item.BottomEdge + 1);
        piece.RightEdge = static_cast<uint8_t>(item.RightEdge + 1);
        piece.LeftEdge = static_cast<uint8_t>(item.LeftEdge + 1);
      }

      // A saved piece turned while rotation is off still gets the image it shows.
      const unsigned rotations = options.NoRotation ? 1u | 1u << piece.Rotation : 0xFu;
      const unsigned shadows = piece.Joined == 1 ? rotations : 1u << piece.Rotation;
      CodePiece(scratch.Bitmap, options.Composite, rotations, shadows, options.ShadowGrey, piece, scratch);
      auto size = [&](int32_t edge, bool vertical) -> uint8_t {
        if (edge <= 0 || edge > library.TemplateCount()) return 0;
        const TKVPieceTemplate& t = library.Template(edge - 1);
        return static_cast<uint8_t>(vertical ? t.Width : t.Height);
      };
      piece.TopSize = size(piece.TopEdge, false);
      piece.RightSize = size(piece.RightEdge, true);
      piece.BottomSize = size(piece.BottomEdge, false);
      piece.LeftSize = size(piece.LeftEdge, true);

      const int32_t n = p + 1;
      if (options.OnProgress)
        options.OnProgress(std::to_string(n) + " " + of + " " + std::to_string(total),
                           static_cast<int>(std::nearbyint(static_cast<double>(n) / total * 100)));
      if (options.OnPieceDone) options.OnPieceDone(n, total);
    }
  }
}

} // namespace kv
