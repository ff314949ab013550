// "High Score": positions 1..10 of one level of the high-score table. Empty positions give no line and the
// positions after them keep their numbers.
#pragma once

#include "app/uModalDialog.h"

#include <cstdint>

class QTreeWidget;

namespace kv {

class THighScore;

class TfmHighScore : public TModalDialog {
public:
  explicit TfmHighScore(QWidget* parent = nullptr);

  // Level: 0 Easy, 1 Normal, 2 Hard, 3 Very Easy.
  void FillList(const THighScore& table, int32_t level);

private:
  QTreeWidget* lvHighScore;
};

} // namespace kv
