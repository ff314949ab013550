// "Choose Image to Play": the playable pictures of the package by name, a preview of the selected one, and
// "Play". BitmapIndex is the chosen entry's index in the package's Pictures, set however the dialog closes.
#pragma once

#include "app/uModalDialog.h"
#include "data/uExecData.h"

#include <vector>

class QLabel;
class QListWidget;

namespace kv {

class TfrmChooseBitmap : public TModalDialog {
public:
  TfrmChooseBitmap(const TJigsawProject2& project, QWidget* parent = nullptr);

  int32_t BitmapIndex = 0;

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void ShowPreview();
  int32_t SelectedIndex() const;

  const TJigsawProject2& FProject;
  QListWidget* FList;
  QLabel* FPreview;
  std::vector<int32_t> FIndexes; // line -> index in Pictures
};

} // namespace kv
