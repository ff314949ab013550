#include "app/ufrmPlayAgain.h"

#include <QLabel>
#include <QPushButton>

namespace kv {

TfrmPlayAgain::TfrmPlayAgain(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("Play");
  setFixedSize(392, 153);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  auto* question = new QLabel("Play Again ?", this);
  question->setObjectName("lblQuestion");
  question->setFont(PixelFont("Times New Roman", 48, false));
  question->setAlignment(Qt::AlignCenter);
  question->setGeometry(0, 16, 392, 70);

  auto* strip = new QWidget(this);
  strip->setObjectName("pnlButtons");
  strip->setGeometry(0, 105, 392, 48);
  SetPanelColour(*strip, QColor(0xCC, 0xCC, 0xCC));

  auto* again = new QPushButton("Play Again", strip);
  again->setObjectName("btnPlayAgain");
  again->setGeometry(106, 11, 85, 25);
  again->setDefault(true);
  connect(again, &QPushButton::clicked, this, &TfrmPlayAgain::accept);
  auto* stop = new QPushButton("Stop", strip);
  stop->setObjectName("btnStop");
  stop->setGeometry(201, 11, 85, 25);
  connect(stop, &QPushButton::clicked, this, &TfrmPlayAgain::reject);
}

} // namespace kv
