// "Best Top Ten": the name for a new high score, at most 30 characters. However the dialog closes, the text
// typed is the name (possibly empty).
#pragma once

#include "app/uModalDialog.h"

#include <string>

class QLineEdit;

namespace kv {

class TfmBestTopTen : public TModalDialog {
public:
  static constexpr int MaxNameLength = 30;

  explicit TfmBestTopTen(QWidget* parent = nullptr);

  // The edit's text as a package text (Windows-1252).
  std::string Name() const;

private:
  QLineEdit* edName;
};

} // namespace kv
