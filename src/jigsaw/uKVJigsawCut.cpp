#include "jigsaw/uKVJigsawCut.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "gui/uResamplers.h"
#include "jigsaw/uRoundHalfEven.h"

#include <algorithm>

namespace kv {

void TKVJigsawCut::Clear() {
  PieceItems.clear();
  LayoutIndex = -1;
  ScaledPicture.SetSize(0, 0);
  CutSize = {};
}

// ---------------------------------------------------------------------------------------------------------
// Layout choice

TImageInfo TKVJigsawCut::LayoutSize() const {
  if (Picture.Empty()) return {};
  if (SourceSize.Width > 0 && SourceSize.Height > 0) return SourceSize;
  return {Picture.Width(), Picture.Height()};
}

uint16_t TKVJigsawCut::Cols(const TKVJigsawPieceLibrary& library) const {
  const TKVLayout* layout = library.UsableLayout(LayoutIndex);
  return layout ? static_cast<uint16_t>(RoundDiv(PictureWidth(), layout->CellWidth)) : 0;
}

uint16_t TKVJigsawCut::Rows(const TKVJigsawPieceLibrary& library) const {
  const TKVLayout* layout = library.UsableLayout(LayoutIndex);
  return layout ? static_cast<uint16_t>(RoundDiv(PictureHeight(), layout->CellHeight)) : 0;
}

int32_t TKVJigsawCut::CellWidth(const TKVJigsawPieceLibrary& library) const {
  const uint16_t cols = Cols(library);
  return cols ? PictureWidth() / cols : 0;
}

int32_t TKVJigsawCut::CellHeight(const TKVJigsawPieceLibrary& library) const {
  const uint16_t rows = Rows(library);
  return rows ? PictureHeight() / rows : 0;
}

void TKVJigsawCut::SetDifficulty(const TKVJigsawPieceLibrary& library, uint8_t d, bool scalePicture) {
  Difficulty = d;
  const TDifficultyRange range = DifficultyRanges[std::min<std::size_t>(d, 5)];
  const int64_t minimum = d == 0 ? 0 : range.Minimum;
  const TImageInfo size = LayoutSize();
  const int64_t width = size.Width, height = size.Height;
  LayoutIndex = -1;
  for (std::size_t i = 0; i < library.Layouts.size(); ++i) {
    const TKVLayout& layout = library.Layouts[i];
    if (layout.CellWidth == 0 || layout.CellHeight == 0) continue;
    const int64_t count = (width / layout.CellWidth) * (height / layout.CellHeight);
    if (count >= minimum && count <= range.Maximum) LayoutIndex = static_cast<int32_t>(i);
  }
  const TKVLayout* layout = library.UsableLayout(LayoutIndex);
  if (layout == nullptr || Picture.Empty() || !scalePicture) return;
  ScalePicture(static_cast<uint16_t>(RoundDiv(width, layout->CellWidth) * layout->CellWidth),
               static_cast<uint16_t>(RoundDiv(height, layout->CellHeight) * layout->CellHeight), false,
               false);
}

void TKVJigsawCut::ChooseLayout(const TKVJigsawPieceLibrary& library, const TParallelBands& parallel) {
  const TImageInfo size = LayoutSize();
  const TLayoutChoice choice = library.ChooseLayoutSize(size.Width, size.Height, Difficulty);
  if (choice.LayoutIndex == -1) return; // an empty picture leaves the cut as it was
  LayoutIndex = choice.LayoutIndex;
  // A picture decoded smaller than stored is stretched even when the stored one would have been copied.
  const bool unchanged = choice.Best == 0 && choice.FinalWidth == size.Width &&
                         choice.FinalHeight == size.Height && Picture.Width() == size.Width &&
                         Picture.Height() == size.Height;
  ScalePicture(choice.FinalWidth, choice.FinalHeight, unchanged, true, parallel);
}

// ---------------------------------------------------------------------------------------------------------
// Edges and origins

void TKVJigsawCut::AssignEdges(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver* carver,
                               TRandomSource& random) {
  if (library.UsableLayout(LayoutIndex) == nullptr) throw Exception("No piece layout has been chosen.");
  const int32_t cols = Cols(library), rows = Rows(library);
  PieceItems.clear();
  if (cols == 0 || rows == 0) return;
  DrawEdges(library, cols, rows, random);
  if (carver == nullptr) return;
  for (TKVPuzzlePieceItem& item : PieceItems) {
    try {
      BuildPieceBitmap(library, *carver, ScaledPicture, item.Bitmap, item.X, item.Y, item.TopEdge,
                       item.BottomEdge, item.RightEdge, item.LeftEdge);
    } catch (const Exception&) {
      if (OnError)
        OnError(std::to_string(item.TopEdge) + " " + std::to_string(item.RightEdge) + " " +
                std::to_string(item.BottomEdge) + " " + std::to_string(item.LeftEdge));
    }
  }
}

void TKVJigsawCut::DrawEdges(const TKVJigsawPieceLibrary& library, int32_t cols, int32_t rows,
                             TRandomSource& random) {
  auto hasTemplates = [&](bool vertical) {
    return std::any_of(library.Templates.begin(), library.Templates.end(), [&](const TKVPieceTemplate& t) {
      return t.Vertical == vertical && t.LayoutIndex == LayoutIndex;
    });
  };
  // The draw below repeats until it hits a fitting template; without one it would never end.
  if ((rows > 1 && !hasTemplates(false)) || (cols > 1 && !hasTemplates(true)))
    throw Exception("The piece library has no edge templates for the chosen layout.");
  auto draw = [&](bool vertical) {
    for (;;) {
      const int32_t t = random.RandomBelow(library.TemplateCount());
      const TKVPieceTemplate& candidate = library.Template(t);
      if (candidate.Vertical == vertical && candidate.LayoutIndex == LayoutIndex) return t;
    }
  };

  PieceItems.resize(static_cast<std::size_t>(rows) * cols);
  const int32_t cw = CellWidth(library), ch = CellHeight(library);
  for (int32_t row = 0; row < rows; ++row) {
    int32_t x = 0;
    for (int32_t col = 0; col < cols; ++col) {
      const std::size_t i = static_cast<std::size_t>(row) * cols + col;
      TKVPuzzlePieceItem& item = PieceItems[i];
      if (row < rows - 1) {
        item.BottomEdge = draw(false);
        PieceItems[i + cols].TopEdge = item.BottomEdge;
      }
      if (col < cols - 1) {
        item.RightEdge = draw(true);
        PieceItems[i + 1].LeftEdge = item.RightEdge;
      }
      item.X = x;
      item.Y = row * ch - (item.TopEdge != -1 ? library.Template(item.TopEdge).Height / 2 : 0);
      x += cw + (item.LeftEdge != -1 ? library.Template(item.LeftEdge).Width / 2 : 0) -
           (item.RightEdge != -1 ? library.Template(item.RightEdge).Width / 2 : 0);
    }
  }
}

void TKVJigsawCut::CutForSize(const TKVJigsawPieceLibrary& library, TImageInfo size, uint8_t d,
                              TRandomSource& random) {
  if (size.Width <= 0 || size.Height <= 0) throw Exception("Bitmap not spesified");
  Difficulty = d;
  const TLayoutChoice choice = library.ChooseLayoutSize(size.Width, size.Height, d);
  if (choice.LayoutIndex < 0) throw Exception("No piece layout has been chosen.");
  Picture.SetSize(0, 0);
  ScaledPicture.SetSize(0, 0);
  LayoutIndex = choice.LayoutIndex;
  CutSize = {choice.FinalWidth, choice.FinalHeight};
  AssignEdges(library, nullptr, random);
}

void TKVJigsawCut::BuildPieceBitmap(const TKVJigsawPieceLibrary& library, const TKVJigsawCarver& carver,
                                    const TBitmap32& source, TBitmap32& dest, int32_t x, int32_t y,
                                    int32_t top, int32_t bottom, int32_t right, int32_t left) const {
  const TKVLayout* layout = library.UsableLayout(LayoutIndex);
  if (layout == nullptr) throw Exception("No piece layout has been chosen.");
  carver.BuildPieceBitmap(source, dest, x, y, *layout, library.EdgesOf(top, bottom, right, left));
}

// ---------------------------------------------------------------------------------------------------------
// Scaled picture

void TKVJigsawCut::ScalePicture(uint16_t width, uint16_t height, bool copy, bool linear,
                                const TParallelBands& parallel) {
  if (copy) {
    ScaledPicture.Assign(Picture);
    return;
  }
  ScaledPicture.SetSize(width, height);
  if (linear && TKVStandardFunc::LowerText(Picture.Resampler().ClassName()) != "tlinearresampler")
    NewResampler<TLinearResampler>(Picture);
  const bool copied = Picture.DrawMode() != dmBlend;
  if (Picture.Empty() || ScaledPicture.Empty() || !copied) {
    // Blended onto nothing.
    ScaledPicture.Clear(0);
    if (!Picture.Empty() && !ScaledPicture.Empty())
      Picture.DrawStretched(ScaledPicture, ScaledPicture.BoundsRect(), Picture.BoundsRect());
    return;
  }
  // Copied, every pixel is a sample as it is: rows can be sampled apart, each band with a resampler of its
  // own.
  if (!parallel) {
    Picture.Resample(ScaledPicture);
    return;
  }
  const int32_t bands = std::min<int32_t>(16, ScaledPicture.Height());
  const int32_t rows = ScaledPicture.Height();
  parallel(bands, [&](int32_t band) {
    const std::unique_ptr<TCustomResampler> resampler = Picture.Resampler().Clone();
    Picture.ResampleRows(ScaledPicture, static_cast<int32_t>(int64_t{rows} * band / bands),
                         static_cast<int32_t>(int64_t{rows} * (band + 1) / bands), *resampler);
  });
  ScaledPicture.Changed();
}

} // namespace kv
