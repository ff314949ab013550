#include "jigsaw/uKVJigsawPieceCollection.h"

#include "data/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"
#include "data/uKVStreamFunc.h"
#include "gui/uResamplers.h"
#include "jigsaw/uKVMaskCodes.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace kv {

namespace {

// Round(a / b) of the exact quotient, ties to even; a >= 0, b > 0.
int64_t RoundDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  const int64_t twice = 2 * (a % b);
  if (twice > b || (twice == b && (q & 1) != 0)) return q + 1;
  return q;
}

// Round of a value held exactly in extended precision, ties to even (the default rounding mode).
int64_t RoundExact(long double value) {
  return static_cast<int64_t>(std::nearbyintl(value));
}

uint8_t ClampedBevel(uint8_t bevelLevel) {
  return std::min<uint8_t>(bevelLevel, 7);
}

// Width, height, the two mask lengths and the flags of a template with empty masks.
constexpr std::size_t MinTemplateBytes = 7;

// Bounded reader over the decompressed library content.
class TContentReader {
public:
  explicit TContentReader(const std::vector<uint8_t>& bytes) : Bytes(bytes) {}
  uint8_t Byte() {
    Need(1);
    return Bytes[Pos++];
  }
  uint16_t Word() {
    Need(2);
    const uint16_t value = static_cast<uint16_t>(Bytes[Pos] | Bytes[Pos + 1] << 8);
    Pos += 2;
    return value;
  }
  std::vector<uint8_t> Block(std::size_t count) {
    Need(count);
    std::vector<uint8_t> block(Bytes.begin() + static_cast<std::ptrdiff_t>(Pos),
                               Bytes.begin() + static_cast<std::ptrdiff_t>(Pos + count));
    Pos += count;
    return block;
  }
  std::size_t Remaining() const { return Bytes.size() - Pos; }

private:
  void Need(std::size_t count) const {
    if (Bytes.size() - Pos < count) throw EReadError();
  }
  const std::vector<uint8_t>& Bytes;
  std::size_t Pos = 0;
};

void WriteWordLE(TMemoryStream& stream, uint16_t value) {
  const uint8_t bytes[2]{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  stream.WriteBuffer(bytes, 2);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Library stream

void TKVJigsawPieceCollection::LoadFromStream(TStream& stream) {
  const int32_t length = TKVStreamFunc::ReadInteger(stream);
  if (length < 0 || length > stream.Remaining()) throw EReadError();
  if (length == 0) return; // no library data at all
  const std::vector<uint8_t> packed = stream.ReadBytes(length);
  TMemoryStream content;
  TKVStreamFunc::DecompressBuffer(packed, content);

  // Everything is read aside first so that a malformed stream leaves the collection as it was.
  TContentReader reader(content.Bytes());
  std::vector<TKVLayout> layouts(reader.Byte());
  for (auto& layout : layouts) {
    layout.CellWidth = reader.Byte();
    layout.CellHeight = reader.Byte();
  }
  const uint16_t count = reader.Word();
  // Two bytes could otherwise ask for 65535 templates, each with its own surface, before a byte of them
  // is read.
  if (static_cast<std::size_t>(count) * MinTemplateBytes > reader.Remaining()) throw EReadError();
  std::vector<TKVPieceTemplate> templates(count);
  for (auto& entry : templates) {
    entry.Width = reader.Byte();
    entry.Height = reader.Byte();
    for (auto& mask : entry.Masks) mask = reader.Block(reader.Word());
    const uint8_t flags = reader.Byte();
    entry.Vertical = (flags & 0x80) != 0;
    entry.LayoutIndex = flags & 0x7F;
    // The template's size lives in Width and Height; its pixels are never drawn from, so no pixel storage
    // is taken here (a hostile library could otherwise claim gigabytes with a few compressed bytes).
    entry.Bitmap.SetDrawMode(dmBlend);
  }
  Layouts = std::move(layouts);
  Templates.reserve(Templates.size() + templates.size());
  std::move(templates.begin(), templates.end(), std::back_inserter(Templates));
}

void TKVJigsawPieceCollection::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

void TKVJigsawPieceCollection::SaveToStream(TStream& stream) const {
  if (Layouts.size() > 255) throw EWriteError("A piece library holds at most 255 layouts.");
  if (Templates.size() > 65535) throw EWriteError("A piece library holds at most 65535 templates.");
  TMemoryStream content;
  TKVStreamFunc::WriteByte(static_cast<uint8_t>(Layouts.size()), content);
  for (const auto& layout : Layouts) {
    TKVStreamFunc::WriteByte(layout.CellWidth, content);
    TKVStreamFunc::WriteByte(layout.CellHeight, content);
  }
  WriteWordLE(content, static_cast<uint16_t>(Templates.size()));
  for (const auto& entry : Templates) {
    if (entry.Width > 255 || entry.Height > 255)
      throw EWriteError("A piece template is at most 255 x 255 pixels.");
    if (entry.LayoutIndex > 127) throw EWriteError("A piece template's layout index is at most 127.");
    TKVStreamFunc::WriteByte(static_cast<uint8_t>(entry.Width), content);
    TKVStreamFunc::WriteByte(static_cast<uint8_t>(entry.Height), content);
    for (const auto& mask : entry.Masks) {
      if (mask.size() > 65535) throw EWriteError("A piece template's mask is at most 65535 bytes.");
      WriteWordLE(content, static_cast<uint16_t>(mask.size()));
      content.WriteBuffer(mask.data(), mask.size());
    }
    TKVStreamFunc::WriteByte(static_cast<uint8_t>((entry.Vertical ? 0x80 : 0) | entry.LayoutIndex), content);
  }
  TMemoryStream packed;
  TKVStreamFunc::CompressStream(content, packed);
  if (packed.Size() > INT32_MAX) throw EWriteError("A piece library is at most 2 GiB compressed.");
  TKVStreamFunc::WriteInteger(static_cast<int32_t>(packed.Size()), stream);
  stream.WriteBuffer(packed.Memory(), static_cast<std::size_t>(packed.Size()));
}

void TKVJigsawPieceCollection::SaveToFile(const std::string& fileName) const {
  TMemoryStream stream;
  SaveToStream(stream);
  WriteFileAtomically(fileName, stream.Bytes());
}

void TKVJigsawPieceCollection::Clear() {
  Layouts.clear();
  Templates.clear();
  PieceItems.clear();
  LayoutIndex = -1;
  ScaledPicture.SetSize(0, 0);
  CutSize = {};
}

// ---------------------------------------------------------------------------------------------------------
// Layout choice

const TKVLayout* TKVJigsawPieceCollection::ChosenLayout() const {
  if (LayoutIndex < 0 || static_cast<std::size_t>(LayoutIndex) >= Layouts.size()) return nullptr;
  const TKVLayout& layout = Layouts[static_cast<std::size_t>(LayoutIndex)];
  return layout.CellWidth != 0 && layout.CellHeight != 0 ? &layout : nullptr;
}

TImageInfo TKVJigsawPieceCollection::LayoutSize() const {
  if (Picture.Empty()) return {};
  if (SourceSize.Width > 0 && SourceSize.Height > 0) return SourceSize;
  return {Picture.Width(), Picture.Height()};
}

uint16_t TKVJigsawPieceCollection::Cols() const {
  const TKVLayout* layout = ChosenLayout();
  return layout ? static_cast<uint16_t>(RoundDiv(PictureWidth(), layout->CellWidth)) : 0;
}

uint16_t TKVJigsawPieceCollection::Rows() const {
  const TKVLayout* layout = ChosenLayout();
  return layout ? static_cast<uint16_t>(RoundDiv(PictureHeight(), layout->CellHeight)) : 0;
}

int32_t TKVJigsawPieceCollection::CellWidth() const {
  const uint16_t cols = Cols();
  return cols ? PictureWidth() / cols : 0;
}

int32_t TKVJigsawPieceCollection::CellHeight() const {
  const uint16_t rows = Rows();
  return rows ? PictureHeight() / rows : 0;
}

void TKVJigsawPieceCollection::SetDifficulty(uint8_t d, bool scalePicture) {
  Difficulty = d;
  const TDifficultyRange range = DifficultyRanges[std::min<std::size_t>(d, 5)];
  const int64_t minimum = d == 0 ? 0 : range.Minimum;
  const TImageInfo size = LayoutSize();
  const int64_t width = size.Width, height = size.Height;
  LayoutIndex = -1;
  for (std::size_t i = 0; i < Layouts.size(); ++i) {
    const TKVLayout& layout = Layouts[i];
    if (layout.CellWidth == 0 || layout.CellHeight == 0) continue;
    const int64_t count = (width / layout.CellWidth) * (height / layout.CellHeight);
    if (count >= minimum && count <= range.Maximum) LayoutIndex = static_cast<int32_t>(i);
  }
  const TKVLayout* layout = ChosenLayout();
  if (layout == nullptr || Picture.Empty() || !scalePicture) return;
  ScalePicture(static_cast<uint16_t>(RoundDiv(width, layout->CellWidth) * layout->CellWidth),
               static_cast<uint16_t>(RoundDiv(height, layout->CellHeight) * layout->CellHeight), false,
               false);
}

TLayoutChoice TKVJigsawPieceCollection::ChooseLayoutSize(const std::vector<TKVLayout>& layouts, int32_t width,
                                                         int32_t height, uint8_t difficulty,
                                                         uint16_t maxWidth, uint16_t maxHeight) {
  uint16_t w = static_cast<uint16_t>(width);
  uint16_t h = static_cast<uint16_t>(height);
  while (maxWidth < w || maxHeight < h) {
    const auto nw = static_cast<uint16_t>(RoundExact(w * 0.975L));
    const auto nh = static_cast<uint16_t>(RoundExact(h * 0.975L));
    if (nw == w && nh == h) break; // a limit of 0 cannot be met; stop where the size no longer shrinks
    w = nw;
    h = nh;
  }
  const TDifficultyRange range = DifficultyRanges[std::min<std::size_t>(difficulty, 5)];
  TLayoutChoice choice;
  if (w + h == 0) return choice;

  // A search depends on the size alone, so a size seen before means the search would go round for ever
  // (the 640 x 480 reset and the doubling alternate between 640 x 480 and 1280 x 960).
  std::set<std::pair<uint16_t, uint16_t>> sizesTried;
  while (choice.LayoutIndex == -1) {
    if (!sizesTried.insert({w, h}).second)
      throw Exception("The piece library has no layout for this picture and difficulty.");
    uint16_t best = 65535;
    float s = 1.0f;
    float step = -0.025f;
    const int64_t area = static_cast<int64_t>(w) * h;
    while (s < 2.0f && best > 0) {
      // A 16-bit size times a single fits a double exactly, so Round sees the exact product.
      const auto sw = static_cast<uint16_t>(RoundExact(static_cast<long double>(w) * s));
      const auto sh = static_cast<uint16_t>(RoundExact(static_cast<long double>(h) * s));
      for (std::size_t i = 0; i < layouts.size(); ++i) {
        const int64_t c = layouts[i].CellWidth, r = layouts[i].CellHeight;
        if (c == 0 || r == 0) continue;
        const int64_t cols = RoundDiv(sw, c), rows = RoundDiv(sh, r);
        const auto count = static_cast<uint16_t>(cols * rows);
        if (count < range.Minimum || count > range.Maximum) continue;
        const int64_t e = std::llabs(static_cast<int64_t>(sw) * sh - area);
        if (e < best) {
          choice.LayoutIndex = static_cast<int32_t>(i);
          choice.FinalWidth = static_cast<uint16_t>(cols * c);
          choice.FinalHeight = static_cast<uint16_t>(rows * r);
          best = static_cast<uint16_t>(
              std::llabs(static_cast<int64_t>(choice.FinalWidth) * choice.FinalHeight - area));
        }
      }
      s = s + step;
      if (step < 0 && RoundExact(static_cast<long double>(s) * 10) < 3) {
        step = 0.025f;
        s = 1.0f;
      }
    }
    choice.Best = best;
    if (choice.LayoutIndex == -1) {
      if (w > 640 && h > 480) {
        w = 640;
        h = 480;
      } else {
        w = static_cast<uint16_t>(2 * w);
        h = static_cast<uint16_t>(2 * h);
      }
    }
  }
  return choice;
}

TKVJigsawPieceCollection
TKVJigsawPieceCollection::PackageLibrary(const std::vector<std::pair<int32_t, int32_t>>& pictureSizes) const {
  struct TSearch {
    int32_t Width, Height;
    uint8_t Difficulty;
    TLayoutChoice Choice;
  };
  std::vector<TSearch> searches;
  std::vector<bool> chosen(Layouts.size(), false);
  for (const auto& [width, height] : pictureSizes)
    for (uint8_t d = 0; d < DifficultyRanges.size(); ++d) {
      try {
        const TLayoutChoice choice = ChooseLayoutSize(Layouts, width, height, d, MaxWidth, MaxHeight);
        if (choice.LayoutIndex < 0) continue;
        chosen[static_cast<std::size_t>(choice.LayoutIndex)] = true;
        searches.push_back({width, height, d, choice});
      } catch (const Exception&) {
        // no layout for this size and difficulty
      }
    }
  // A search over fewer layouts can end elsewhere, when a layout left out set the bound that a later one
  // had to beat. Layouts are added until the package's own search gives every picture the cut the whole
  // library gives; the whole library always does.
  auto matches = [&](const TSearch& search) {
    std::vector<TKVLayout> kept;
    for (std::size_t i = 0; i < Layouts.size(); ++i)
      if (chosen[i]) kept.push_back(Layouts[i]);
    try {
      const TLayoutChoice choice =
          ChooseLayoutSize(kept, search.Width, search.Height, search.Difficulty, MaxWidth, MaxHeight);
      const TKVLayout& want = Layouts[static_cast<std::size_t>(search.Choice.LayoutIndex)];
      return choice.LayoutIndex >= 0 &&
             kept[static_cast<std::size_t>(choice.LayoutIndex)].CellWidth == want.CellWidth &&
             kept[static_cast<std::size_t>(choice.LayoutIndex)].CellHeight == want.CellHeight &&
             choice.FinalWidth == search.Choice.FinalWidth && choice.FinalHeight == search.Choice.FinalHeight;
    } catch (const Exception&) {
      return false;
    }
  };
  while (true) {
    const auto miss = std::find_if_not(searches.begin(), searches.end(), matches);
    if (miss == searches.end()) break;
    bool mended = false;
    for (std::size_t i = 0; i < Layouts.size() && !mended; ++i) {
      if (chosen[i]) continue;
      chosen[i] = true;
      mended = matches(*miss);
      if (!mended) chosen[i] = false;
    }
    if (!mended) chosen.assign(Layouts.size(), true);
  }
  TKVJigsawPieceCollection result;
  result.MaxWidth = MaxWidth;
  result.MaxHeight = MaxHeight;
  std::vector<int32_t> newIndex(Layouts.size(), -1);
  for (std::size_t i = 0; i < Layouts.size(); ++i)
    if (chosen[i]) {
      newIndex[i] = static_cast<int32_t>(result.Layouts.size());
      result.Layouts.push_back(Layouts[i]);
    }
  if (result.Layouts.empty()) return result;
  // Every layout keeps the same share of each orientation, so that no layout a game may choose is left
  // without templates of the orientation it needs.
  const std::size_t perOrientation =
      static_cast<std::size_t>(MaxRecordedTemplates / 2) / result.Layouts.size();
  if (perOrientation == 0)
    throw Exception("The pictures of this package need more piece layouts than a package can carry.");
  std::vector<std::array<std::size_t, 2>> kept(Layouts.size(), {0, 0});
  for (const TKVPieceTemplate& t : Templates) {
    if (t.LayoutIndex >= Layouts.size() || newIndex[t.LayoutIndex] < 0) continue;
    std::size_t& count = kept[t.LayoutIndex][t.Vertical ? 1 : 0];
    if (count == perOrientation) continue;
    ++count;
    TKVPieceTemplate copy = t;
    copy.LayoutIndex = static_cast<uint8_t>(newIndex[t.LayoutIndex]);
    result.Templates.push_back(std::move(copy));
  }
  return result;
}

void TKVJigsawPieceCollection::ChooseLayout(const TParallelBands& parallel) {
  const TImageInfo size = LayoutSize();
  const TLayoutChoice choice =
      ChooseLayoutSize(Layouts, size.Width, size.Height, Difficulty, MaxWidth, MaxHeight);
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

void TKVJigsawPieceCollection::AssignEdges(bool buildBitmaps) {
  if (ChosenLayout() == nullptr) throw Exception("No piece layout has been chosen.");
  const int32_t cols = Cols(), rows = Rows();
  PieceItems.clear();
  if (cols == 0 || rows == 0) return;
  auto hasTemplates = [&](bool vertical) {
    return std::any_of(Templates.begin(), Templates.end(), [&](const TKVPieceTemplate& t) {
      return t.Vertical == vertical && t.LayoutIndex == LayoutIndex;
    });
  };
  // The draw below repeats until it hits a fitting template; without one it would never end.
  if ((rows > 1 && !hasTemplates(false)) || (cols > 1 && !hasTemplates(true)))
    throw Exception("The piece library has no edge templates for the chosen layout.");
  auto draw = [&](bool vertical) {
    auto& random = TKVStandardFunc::Instance();
    for (;;) {
      const int32_t t = random.RandomBelow(TemplateCount());
      const TKVPieceTemplate& candidate = Templates[static_cast<std::size_t>(t)];
      if (candidate.Vertical == vertical && candidate.LayoutIndex == LayoutIndex) return t;
    }
  };

  PieceItems.resize(static_cast<std::size_t>(rows) * cols);
  const int32_t cw = CellWidth(), ch = CellHeight();
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
      item.Y = row * ch - (item.TopEdge != -1 ? Template(item.TopEdge).Height / 2 : 0);
      x += cw + (item.LeftEdge != -1 ? Template(item.LeftEdge).Width / 2 : 0) -
           (item.RightEdge != -1 ? Template(item.RightEdge).Width / 2 : 0);
      if (!buildBitmaps) continue;
      try {
        BuildPieceBitmap(ScaledPicture, item.Bitmap, item.X, item.Y, item.TopEdge, item.BottomEdge,
                         item.RightEdge, item.LeftEdge);
      } catch (const Exception&) {
        if (OnError)
          OnError(std::to_string(item.TopEdge) + " " + std::to_string(item.RightEdge) + " " +
                  std::to_string(item.BottomEdge) + " " + std::to_string(item.LeftEdge));
      }
    }
  }
}

void TKVJigsawPieceCollection::CutForSize(TImageInfo size, uint8_t d) {
  if (size.Width <= 0 || size.Height <= 0) throw Exception("Bitmap not spesified");
  Difficulty = d;
  const TLayoutChoice choice = ChooseLayoutSize(Layouts, size.Width, size.Height, d, MaxWidth, MaxHeight);
  if (choice.LayoutIndex < 0) throw Exception("No piece layout has been chosen.");
  Picture.SetSize(0, 0);
  ScaledPicture.SetSize(0, 0);
  LayoutIndex = choice.LayoutIndex;
  CutSize = {choice.FinalWidth, choice.FinalHeight};
  AssignEdges(false);
}

// ---------------------------------------------------------------------------------------------------------
// Scale grid fit

TScaleGrid TKVJigsawPieceCollection::FitScaleGrid(int32_t minimum, int32_t maximum, int32_t width,
                                                  int32_t height, int32_t areaWidth, int32_t areaHeight) {
  TScaleGrid grid;
  int64_t count = 0;
  do {
    grid.Scale += 0.25f;
    grid.Cell = static_cast<int32_t>(RoundExact(static_cast<long double>(grid.Scale) * 15));
    grid.Tab = static_cast<int32_t>(RoundExact(static_cast<long double>(grid.Scale) * 4));
    const int64_t usableHeight =
        static_cast<int64_t>(areaHeight) - grid.Cell - (width > height ? grid.Tab : 2 * grid.Tab);
    // A picture without size takes the whole area; nothing divides by 0.
    const float u = areaWidth < width && width > 0
                        ? static_cast<float>(static_cast<long double>(areaWidth) / width)
                        : 1.0f;
    const float v = usableHeight < height && height > 0
                        ? static_cast<float>(static_cast<long double>(usableHeight) / height)
                        : 1.0f;
    const float m = u < v ? u : v;
    int64_t columns = RoundExact(static_cast<long double>(width) * m) / grid.Cell;
    int64_t rows = RoundExact(static_cast<long double>(height) * m) / grid.Cell;
    columns = std::max<int64_t>(columns, 1) + 2;
    rows = std::max<int64_t>(rows, 1) + 2;
    grid.Columns = static_cast<int32_t>(std::min<int64_t>(columns, INT32_MAX));
    grid.Rows = static_cast<int32_t>(std::min<int64_t>(rows, INT32_MAX));
    count = columns * rows;
    // A 3 x 3 grid is the smallest there is: a maximum below 9 can never be met, so stop there.
  } while (count > maximum && count >= minimum && count > 9);
  return grid;
}

// ---------------------------------------------------------------------------------------------------------
// Piece bitmaps

const std::array<uint8_t, 256>& TKVJigsawPieceCollection::AlphaTable(uint8_t bevelLevel) {
  // Every template draw needs one; the extended-precision rounding is worth doing once per level.
  static const std::array<std::array<uint8_t, 256>, 8> tables = [] {
    std::array<std::array<uint8_t, 256>, 8> all{};
    for (uint8_t level = 0; level < all.size(); ++level) {
      const long double factor = 1.0L - 0.1L * level;
      for (int v = 0; v < 256; ++v)
        all[level][static_cast<std::size_t>(v)] =
            static_cast<uint8_t>(std::clamp<int64_t>(RoundExact(factor * v), 0, 255));
    }
    return all;
  }();
  return tables[ClampedBevel(bevelLevel)];
}

void TKVJigsawPieceCollection::DrawEdgeTemplate(const TKVPieceTemplate& pieceTemplate, TBitmap32& dest,
                                                int32_t x, int32_t y, int32_t side) const {
  const std::vector<uint8_t>& mask = pieceTemplate.Masks[side < 2 ? 0 : 1];
  if (mask.empty()) return;
  const std::array<uint8_t, 256>& alpha = AlphaTable(BevelLevel);
  const TColor32 contour = static_cast<TColor32>(176 - 17 * ClampedBevel(BevelLevel)) << 24;
  const TColor32 outline = Color32(OutlineColor);
  const int32_t width = dest.Width(), height = dest.Height();
  const std::size_t size = mask.size();
  std::size_t pos = 0;

  for (int32_t row = 0; row < pieceTemplate.Height; ++row) {
    const int32_t py = y + row;
    if (py >= height) return;
    const bool rowInside = py >= 0;
    TColor32* line = rowInside ? dest.ScanLine(py) : nullptr;
    // Pixel access for one instruction: only pixels inside dest are touched.
    auto apply = [&](int32_t px, auto&& change) {
      if (rowInside && px >= 0 && px < width) line[px] = change(line[px]);
    };
    int32_t col = 0;
    while (col < pieceTemplate.Width) {
      if (pos >= size) return; // a mask that ends early ends the template
      uint8_t b = mask[pos++];
      bool reread = true;
      while (reread) {
        reread = false;
        const int32_t px = x + col;
        if (b > MaskCode::ClearBase) {
          const int32_t n = b - MaskCode::ClearBase;
          // HorzLine(px, py, px + n, 0), clipped: n + 1 pixels.
          if (rowInside) {
            const int32_t from = std::max(px, 0), to = std::min(px + n, width - 1);
            if (from <= to) std::fill(line + from, line + to + 1, 0u);
          }
          col += n;
        } else if (b > MaskCode::HighlightBase) {
          const bool shadow = b > MaskCode::ShadowBase;
          const int32_t n = shadow ? b - MaskCode::ShadowBase : b - MaskCode::HighlightBase;
          const TColor32 colour = shadow ? 0x00000000u : 0x00FFFFFFu;
          for (int32_t k = 0; k < n; ++k) {
            if (pos >= size) return;
            const uint8_t v = mask[pos++];
            if (!OutlineOption)
              apply(px + k, [&](TColor32 p) {
                return BlendReg(static_cast<TColor32>(alpha[v]) << 24 | colour, p) | 0xFF000000u;
              });
          }
          col += n;
        } else {
          const int32_t n = b;
          if (pos >= size) return;
          const uint8_t m = mask[pos++];
          if (m == MaskCode::Keep) {
            col += n;
          } else if (m == MaskCode::Contour) {
            if (OutlineOption) {
              const TCombineMode previous = dest.CombineMode();
              dest.SetCombineMode(cmMerge);
              dest.HorzLineBlend(px, py, px + n, outline);
              dest.SetCombineMode(previous);
            } else {
              for (int32_t k = 0; k < n; ++k)
                apply(px + k, [&](TColor32 p) { return BlendReg(contour, p) | 0xFF000000u; });
            }
            col += n;
          } else if (m == MaskCode::Fringe) {
            for (int32_t k = 0; k < n; ++k) {
              if (pos >= size) return;
              const uint8_t v = mask[pos++];
              const TColor32 fringe = OutlineOption ? 0u : static_cast<TColor32>(alpha[v] | 32) << 24;
              apply(px + k, [&](TColor32) { return fringe; });
            }
            col += n;
          } else {
            b = m; // not a mode: the byte is the next instruction
            reread = true;
          }
        }
      }
    }
  }
}

void TKVJigsawPieceCollection::BuildPieceBitmap(const TBitmap32& source, TBitmap32& dest, int32_t x,
                                                int32_t y, int32_t top, int32_t bottom, int32_t right,
                                                int32_t left) const {
  const TKVLayout* layout = ChosenLayout();
  if (layout == nullptr) throw Exception("No piece layout has been chosen.");
  auto templateAt = [&](int32_t index) -> const TKVPieceTemplate* {
    if (index == -1) return nullptr;
    if (index < 0 || index >= TemplateCount())
      throw Exception("Invalid edge template index " + std::to_string(index) + ".");
    return &Templates[static_cast<std::size_t>(index)];
  };
  const TKVPieceTemplate* tTop = templateAt(top);
  const TKVPieceTemplate* tBottom = templateAt(bottom);
  const TKVPieceTemplate* tRight = templateAt(right);
  const TKVPieceTemplate* tLeft = templateAt(left);

  const int32_t cw = layout->CellWidth, ch = layout->CellHeight;
  const int32_t topMargin = tTop ? tTop->Height / 2 : 0;
  const int32_t bottomMargin = tBottom ? tBottom->Height / 2 : 0;
  const int32_t leftMargin = tLeft ? tLeft->Width / 2 : 0;
  const int32_t rightMargin = tRight ? tRight->Width / 2 : 0;
  const int32_t w = cw + leftMargin + rightMargin;
  const int32_t h = ch + topMargin + bottomMargin;
  const int32_t r = leftMargin + cw;
  const int32_t b = topMargin + ch;

  const int32_t lines = cw > 100 ? 4 : cw >= 50 ? 3 : 2;
  const int32_t base = cw > 100 ? 0 : cw >= 50 ? 50 : 30;
  auto lineAlpha = [&](int32_t k) { return static_cast<TColor32>(28 * lines + base - 28 * (k - 1)) << 24; };

  // Opaque copy of the piece's rectangle; parts outside the source stay transparent. A new size comes
  // cleared, and a rectangle inside the source (every piece of a cut) overwrites all of it anyway.
  const int32_t x0 = std::max(0, -x), y0 = std::max(0, -y);
  const int32_t x1 = std::min(w, source.Width() - x), y1 = std::min(h, source.Height() - y);
  const bool covered = x0 == 0 && y0 == 0 && x1 == w && y1 == h;
  if (!dest.SetSize(w, h) && !covered) dest.Clear(0);
  dest.SetDrawMode(dmBlend);
  dest.SetCombineMode(cmBlend);
  for (int32_t row = y0; row < y1; ++row)
    if (x1 > x0)
      std::copy(source.ScanLine(y + row) + x + x0, source.ScanLine(y + row) + x + x1,
                dest.ScanLine(row) + x0);

  const TColor32 outline = Color32(OutlineColor);
  const TColor32 white = 0x00FFFFFFu;
  // Top
  if (tTop) {
    DrawEdgeTemplate(*tTop, dest, leftMargin, topMargin - tTop->Height / 2, 0);
  } else if (OutlineOption) {
    dest.HorzLineBlend(leftMargin, topMargin, r, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.HorzLineBlend(leftMargin, topMargin, r, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k)
      dest.HorzLineBlend(leftMargin + k, topMargin + k, r - k, lineAlpha(k) | white);
    dest.SetCombineMode(cmBlend);
  }
  // Right
  if (tRight) {
    DrawEdgeTemplate(*tRight, dest, r - tRight->Width / 2, topMargin, 1);
  } else if (OutlineOption) {
    dest.VertLineBlend(r - 1, topMargin, b, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.VertLineBlend(r - 1, topMargin, b, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k) dest.VertLineBlend(r - 1 - k, topMargin + k, b - k, lineAlpha(k));
    dest.SetCombineMode(cmBlend);
  }
  // Bottom. The border line ends at R - 1: column R belongs to the right neighbour, and the right template,
  // drawn before this side, can no longer clear it.
  if (tBottom) {
    DrawEdgeTemplate(*tBottom, dest, leftMargin, b - tBottom->Height / 2, 2);
  } else if (OutlineOption) {
    dest.HorzLineBlend(leftMargin, b - 1, r - 1, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.HorzLineBlend(leftMargin, b - 1, r - 1, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k) dest.HorzLineBlend(leftMargin + k, b - 1 - k, r - k, lineAlpha(k));
    dest.SetCombineMode(cmBlend);
  }
  // Left
  if (tLeft) {
    DrawEdgeTemplate(*tLeft, dest, leftMargin - tLeft->Width / 2, topMargin, 3);
  } else if (OutlineOption) {
    dest.VertLineBlend(leftMargin, topMargin, b - 1, outline);
  } else {
    dest.SetCombineMode(cmMerge);
    dest.VertLineBlend(leftMargin, topMargin, b - 1, 0xFF010101u);
    for (int32_t k = 1; k <= lines; ++k)
      dest.VertLineBlend(leftMargin + k, topMargin + k, b - 1 - k, lineAlpha(k) | white);
    dest.SetCombineMode(cmBlend);
  }
  // Corners outside the cell body between two templates.
  if (tTop) {
    if (tLeft) dest.FillRectClipped(0, 0, leftMargin, topMargin, 0);
    if (tRight) dest.FillRectClipped(r, 0, w, topMargin, 0);
  }
  if (tBottom) {
    if (tLeft) dest.FillRectClipped(0, b, leftMargin, h, 0);
    if (tRight) dest.FillRectClipped(r, b, w, h, 0);
  }
}

// ---------------------------------------------------------------------------------------------------------
// Scaled picture

void TKVJigsawPieceCollection::ScalePicture(uint16_t width, uint16_t height, bool copy, bool linear,
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
