// "Change Difficulty": the six piece-count ranges. NumPiecesMin and NumPiecesMax go in with the range in
// force and come out with the range of the item the player picked (unchanged when no item was picked).
#pragma once

#include "app/uModalDialog.h"

#include <array>
#include <cstdint>

class QComboBox;

namespace kv {

struct TDifficultyItem {
  const char* Text;
  int32_t Min;
  int32_t Max;
};

// Indexed by difficulty 0..5.
inline constexpr std::array<TDifficultyItem, 6> DifficultyItems{{
    {"< 25 pieces", 0, 24},
    {"25 - 50 pieces", 25, 50},
    {"50 -100 pieces", 51, 100},
    {"100 - 150 pieces", 101, 150},
    {"150 - 200 pieces", 151, 200},
    {"> 200 pieces", 201, 65535},
}};

// The item shown for a range: the item of exactly that range; otherwise 3 when min > 100, else 0.
int DifficultyItemOf(int32_t numPiecesMin, int32_t numPiecesMax);

class TfrmDifficulty : public TModalDialog {
public:
  explicit TfrmDifficulty(QWidget* parent = nullptr);

  int32_t NumPiecesMin = 0;
  int32_t NumPiecesMax = 24;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QComboBox* cbPieces;
};

} // namespace kv
