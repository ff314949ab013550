#include "app/ufrmDifficulty.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace kv {

int DifficultyItemOf(int32_t numPiecesMin, int32_t numPiecesMax) {
  for (std::size_t i = 0; i < DifficultyItems.size(); ++i)
    if (DifficultyItems[i].Min == numPiecesMin && DifficultyItems[i].Max == numPiecesMax)
      return static_cast<int>(i);
  return numPiecesMin > 100 ? 3 : 0;
}

TfrmDifficulty::TfrmDifficulty(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("Change Difficulty");
  setFixedSize(195, 87);
  setFont(DialogFont());
  SetPanelColour(*this, Qt::white);

  auto* label = new QLabel("Change Your Pieces :", this);
  label->setObjectName("lblPieces");
  label->setGeometry(8, 6, 180, 16);
  cbPieces = new QComboBox(this);
  cbPieces->setObjectName("cbPieces");
  cbPieces->setGeometry(8, 24, 180, 22);
  for (const TDifficultyItem& item : DifficultyItems) cbPieces->addItem(item.Text);
  // Only a pick by the player changes the range; the preselection leaves it as it came.
  connect(cbPieces, &QComboBox::activated, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(DifficultyItems.size())) return;
    NumPiecesMin = DifficultyItems[static_cast<std::size_t>(index)].Min;
    NumPiecesMax = DifficultyItems[static_cast<std::size_t>(index)].Max;
  });

  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("btnOk");
  ok->setGeometry(18, 56, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TfrmDifficulty::accept);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  cancel->setGeometry(102, 56, 75, 25);
  connect(cancel, &QPushButton::clicked, this, &TfrmDifficulty::reject);
}

void TfrmDifficulty::showEvent(QShowEvent* event) {
  cbPieces->setCurrentIndex(DifficultyItemOf(NumPiecesMin, NumPiecesMax));
  TModalDialog::showEvent(event);
}

} // namespace kv
