// "Select Skin": the package's skins as "Skin #1", "Skin #2", ... with a 128 x 128 thumbnail of each in the
// preview. SkinIndex goes in as the current skin and comes out as the chosen line on OK.
#pragma once

#include "app/uModalDialog.h"
#include "gui/uBitmap32.h"

#include <cstdint>
#include <vector>

class QLabel;
class QListWidget;

namespace kv {

class TJigsawProject2;

class TfrmSelectSkin : public TModalDialog {
public:
  static constexpr int ThumbnailSide = 128;

  // Reads every skin's bitmap; a skin without a readable bitmap raises the reader's error.
  TfrmSelectSkin(const TJigsawProject2& project, int32_t skinIndex, QWidget* parent = nullptr);

  int32_t SkinIndex;

  // One per skin, in the package's order.
  const std::vector<TBitmap32>& Thumbnails() const { return FThumbnails; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  void ShowPreview();

  QListWidget* lbSkins;
  QLabel* imgPreview;
  std::vector<TBitmap32> FThumbnails;
};

} // namespace kv
