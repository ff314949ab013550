#include "CutPreview.h"

#include "core/uKVErrors.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "jigsaw/uRLE.h"

#include <algorithm>
#include <string>

namespace kvtools {

namespace {

constexpr kv::TColor32 kBackground =
    0xFF6E7278u; // a cool mid grey that neither light nor dark pictures melt into
constexpr int32_t kShadowOffset = 3;

kv::TKVJigsawPieceLibrary PackageShapes(const kv::TJigsawProject2& project) {
  if (project.PieceShapeData.Size() > 4) {
    kv::TKVJigsawPieceLibrary library;
    kv::TMemoryStream shapes(project.PieceShapeData.Bytes());
    library.LoadFromStream(shapes);
    return library;
  }
  auto* steps = dynamic_cast<kv::TEnginePictureSteps*>(&kv::TExecDataWriter::PictureSteps());
  if (!steps) throw kv::Exception("The package holds no piece shapes.");
  return steps->PackageLibrary(project);
}

// Expands a coded image (or a shadow) of w x h pixels into a surface that draws with dmBlend.
void Expand(const kv::TPiece& piece, kv::TBitmap32& image) {
  image.SetSize(piece.Width, piece.Height);
  kv::TRLE::Decode(piece.Images[0],
                   std::span<uint32_t>(image.Bits(), static_cast<std::size_t>(piece.Width) * piece.Height));
  image.SetDrawMode(kv::dmBlend);
}

} // namespace

kv::TBitmap32 RenderCutPreview(const kv::TJigsawProject2& project, uint32_t pictureId, uint8_t difficulty,
                               int32_t gap, CutPreviewInfo* info) {
  const auto found = std::find_if(project.Pictures.begin(), project.Pictures.end(),
                                  [&](const auto& picture) { return picture->ID == pictureId; });
  if (found == project.Pictures.end())
    throw kv::Exception("The package has no picture " + std::to_string(pictureId) + ".");
  if (difficulty > 5) throw kv::Exception("The difficulty must be 0 to 5.");

  const kv::TKVJigsawPieceLibrary library = PackageShapes(project);
  kv::TKVJigsawCut cut;
  kv::TKVJigsawCarver carver;
  carver.OutlineOption = project.OutlineOption != 0;
  carver.OutlineColor = project.OutlineColor;
  cut.SourceSize = kv::DecodeGamePicture(**found, library, difficulty, cut.Picture);
  kv::TPieceBuildOptions options;
  options.Difficulty = difficulty;
  options.BevelLevel = project.BevelLevel;
  options.ShadowGrey = static_cast<uint8_t>(30 + 5 * std::min<int>(project.BevelLevel, 7));
  options.NoRotation = true;
  kv::TPieces pieces;
  kv::BuildPieces(library, cut, carver, options, pieces, project.Random());

  const int32_t rows = static_cast<int32_t>(pieces.size());
  const int32_t cols = rows > 0 ? static_cast<int32_t>(pieces.front().size()) : 0;
  if (gap < 0) gap = std::max(10, std::min(cut.CellWidth(library), cut.CellHeight(library)) / 3);
  const int32_t margin = std::max(gap, 16);
  kv::TBitmap32 canvas(cut.PictureWidth() + (cols - 1) * gap + 2 * margin,
                       cut.PictureHeight() + (rows - 1) * gap + 2 * margin);
  canvas.Clear(kBackground);
  kv::TBitmap32 image, shadow;
  for (const auto& row : pieces)
    for (const kv::TPiece& piece : row) {
      const int32_t x = margin + piece.CorrectX + piece.Column * gap;
      const int32_t y = margin + piece.CorrectY + piece.Row * gap;
      shadow.SetSize(piece.Width, piece.Height);
      std::copy(piece.Shadows[0].begin(), piece.Shadows[0].end(), shadow.Bits());
      shadow.SetDrawMode(kv::dmBlend);
      shadow.Draw(canvas, x + kShadowOffset, y + kShadowOffset);
      Expand(piece, image);
      image.Draw(canvas, x, y);
    }
  if (info) *info = {cols, rows};
  return canvas;
}

} // namespace kvtools
