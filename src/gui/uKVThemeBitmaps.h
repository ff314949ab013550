// The skin's theme pictures: each is cut once into parts (caps, edges, corners, tiles, state images) by its
// split type, and the skin finds them by name. The theme stream of a game package fills the collection.
#pragma once

#include "core/uKVErrors.h"
#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uKVBitmapCollection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

// A theme picture too small for the parts its geometry asks for.
class EThemeError : public Exception {
public:
  using Exception::Exception;
};

// How a theme picture is cut into parts.
enum : uint8_t {
  stHorizontal3 = 0, // caps left and right of a tile, per state
  stVertical3 = 1,   // caps above and below a tile
  stSingle = 2,      // the whole picture
  stNineSlice = 3,   // corners, edges and centre, 13 parts per state
  stGrid13 = 4,      // cells of Width x Height, row by row, 13 parts
  stGrid25 = 5       // the same with 25 parts
};

// Number of parts of one nine-slice state: corners, edges (the side edges three times) and the centre.
inline constexpr int32_t NineSliceParts = 13;

class TKVThemeBitmapItem : public TKVCustomBitmapItem {
public:
  explicit TKVThemeBitmapItem(TKVCustomBitmapCollection* collection = nullptr);

  // The picture file's name; setting it loads that file (relative to the collection's base folder) when
  // it exists.
  const std::string& Source() const { return FSource; }
  void SetSource(const std::string& value);

  uint8_t SplitType = stHorizontal3;
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  // Compared without regard to case.
  std::string SkinName;
  // Number of states; 0 counts as 1.
  int32_t SplitCount = 1;
  // Border width of a nine-slice split.
  int32_t Border = 0;

  // Copies the picture and every field; the parts are cut again when needed.
  void Assign(const TKVCustomBitmapItem& source) override;

  // Cuts the picture into parts unless it was cut already. Raises EListError for a grid with more cells
  // than parts, EThemeError for a part reaching past its picture; the item is then left uncut.
  void Split();
  bool IsSplit() const { return FSplit; }
  // Forgets the parts, so that the next Split cuts again.
  void ClearParts();
  const std::vector<TBitmap32>& Parts() const { return FParts; }
  // Raises EListError "List index out of bounds (n)" for an index the item does not have.
  const TBitmap32& Part(int32_t index) const;

private:
  std::vector<TBitmap32> CutParts() const;

  std::string FSource;
  std::vector<TBitmap32> FParts;
  bool FSplit = false;
};

class TKVThemeBitmapCollection : public TKVCustomBitmapCollection {
public:
  TKVThemeBitmapCollection();

  TKVThemeBitmapItem& Add();
  int32_t Count() const { return Items().Count(); }
  TKVThemeBitmapItem& Item(int32_t index) const;

  // Replaces every item with those of the theme stream at the stream's position, each cut as it is read.
  // Malformed data raises EReadError, a picture that is not a BMP the decoder's EImageError, a split that
  // fails EListError or EThemeError; the previous items then stay as they were.
  void LoadThemeStream(TStream& stream);
  // Writes the items in the theme stream's form; their pictures as 32-bit BMP files. Raises EWriteError
  // for a value the form cannot hold (a geometry field outside 0..65535).
  void SaveThemeStream(TStream& stream) const;

  // The last item named name (case ignored) that has parts, cutting items on the way; null if none.
  TKVThemeBitmapItem* FindItem(const std::string& name);
  // An empty surface for names no item carries.
  const TBitmap32& EmptyPart() const { return FEmptyPart; }

private:
  TBitmap32 FEmptyPart;
};

// Largest number of picture pixels one theme stream may bring (all its pictures together, 4096 x 4096):
// far above any skin, far below what would exhaust memory when a hostile stream packs huge pictures into
// few bytes. Each picture's claimed size is checked before it is decoded.
inline constexpr int64_t MaxThemePixels = int64_t{1} << 24;

} // namespace kv
