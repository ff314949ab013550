#include "jigsaw/uKVJigsawPieceLibrary.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"
#include "data/uKVStreamFunc.h"
#include "jigsaw/uRoundHalfEven.h"

#include <algorithm>
#include <set>
#include <utility>

namespace kv {

namespace {

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

void TKVJigsawPieceLibrary::LoadFromStream(TStream& stream) {
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

void TKVJigsawPieceLibrary::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

void TKVJigsawPieceLibrary::SaveToStream(TStream& stream) const {
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

void TKVJigsawPieceLibrary::SaveToFile(const std::string& fileName) const {
  TMemoryStream stream;
  SaveToStream(stream);
  WriteFileAtomically(fileName, stream.Bytes());
}

void TKVJigsawPieceLibrary::Clear() {
  Layouts.clear();
  Templates.clear();
}

const TKVLayout* TKVJigsawPieceLibrary::UsableLayout(int32_t i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= Layouts.size()) return nullptr;
  const TKVLayout& layout = Layouts[static_cast<std::size_t>(i)];
  return layout.CellWidth != 0 && layout.CellHeight != 0 ? &layout : nullptr;
}

TKVPieceEdges TKVJigsawPieceLibrary::EdgesOf(int32_t top, int32_t bottom, int32_t right, int32_t left) const {
  auto templateAt = [&](int32_t index) -> const TKVPieceTemplate* {
    if (index == -1) return nullptr;
    if (index < 0 || index >= TemplateCount())
      throw Exception("Invalid edge template index " + std::to_string(index) + ".");
    return &Templates[static_cast<std::size_t>(index)];
  };
  TKVPieceEdges edges;
  edges.Top = templateAt(top);
  edges.Bottom = templateAt(bottom);
  edges.Right = templateAt(right);
  edges.Left = templateAt(left);
  return edges;
}

// ---------------------------------------------------------------------------------------------------------
// Layout search

TLayoutChoice TKVJigsawPieceLibrary::ChooseLayoutSize(const std::vector<TKVLayout>& layouts, int32_t width,
                                                      int32_t height, uint8_t difficulty, uint16_t maxWidth,
                                                      uint16_t maxHeight) {
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

TKVJigsawPieceLibrary
TKVJigsawPieceLibrary::PackageLibrary(const std::vector<std::pair<int32_t, int32_t>>& pictureSizes) const {
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
  TKVJigsawPieceLibrary result;
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

// ---------------------------------------------------------------------------------------------------------
// Scale grid fit

TScaleGrid TKVJigsawPieceLibrary::FitScaleGrid(int32_t minimum, int32_t maximum, int32_t width,
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

} // namespace kv
