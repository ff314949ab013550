// The skin: the package's named theme pictures, cut into parts on first use, and the two ways the game draws
// with them, frames of any size and single parts stretched over a rectangle. One skin serves the whole
// program.
#pragma once

#include "core/uKVTypes.h"
#include "data/uKVStream.h"
#include "gui/uBitmap32.h"
#include "gui/uKVPainter.h"

#include <memory>
#include <string>
#include <vector>

namespace kv {

class TKVThemeBitmapCollection;

class TKVCustomGamesSkin {
public:
  TKVCustomGamesSkin();
  virtual ~TKVCustomGamesSkin();
  TKVCustomGamesSkin(const TKVCustomGamesSkin&) = delete;
  TKVCustomGamesSkin& operator=(const TKVCustomGamesSkin&) = delete;

  TKVThemeBitmapCollection& Theme() { return *FTheme; }
  // The frame named name over rect (x1, y1, x2, y2): corners placed, edges tiled, the centre stretched.
  virtual void DrawFrame(const TKVPainter& target, const TRect& rect, const std::string& name);
  // Part index of the item named name stretched over rect.
  virtual void DrawPart(const TKVPainter& target, const TRect& rect, int32_t index, const std::string& name);

  // Part index of the item named name; an empty surface when no item carries the name. Raises EListError
  // for an index the item does not have.
  const TBitmap32& GetPart(const std::string& name, int32_t index);

  // The built-in theme in place of the current one.
  void LoadDefaultTheme();
  // The theme stream from its start; the built-in theme when the stream is empty or holds no items. A
  // stream that fails to load raises its error and leaves the current theme as it was.
  void LoadThemeOrDefault(TStream& stream);

  // Forgets the stretched parts kept for drawing; needed after the theme's parts change other than by
  // loading.
  void ForgetStretchedParts() { FStretched.clear(); }

private:
  // A part stretched to a size, kept so that a frame or part painted again is a copy rather than a resample.
  struct TStretchedPart {
    const TBitmap32* Part = nullptr;
    const TColor32* PartBits = nullptr; // the part's pixels when it was stretched
    TBitmap32 Image;
  };
  // At most this many pixels are kept, 16 MB.
  static constexpr int64_t MaxStretchedPixels = 4 * 1024 * 1024;

  // part over rect, as DrawStretched draws it.
  void DrawStretchedPart(const TKVPainter& target, const TBitmap32& part, const TRect& rect);

  std::unique_ptr<TKVThemeBitmapCollection> FTheme;
  std::vector<TStretchedPart> FStretched; // the most recently used last
};

// The program's skin: the main window makes one and hands it to its graphic engine.
class TKVGamesSkin : public TKVCustomGamesSkin {};

} // namespace kv
