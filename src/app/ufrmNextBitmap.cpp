#include "app/ufrmNextBitmap.h"

#include <QLabel>
#include <QPushButton>

namespace kv {

TfrmNextBitmap::TfrmNextBitmap(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("Next Bitmap");
  setFixedSize(414, 148);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  auto* question = new QLabel("Continue With Next Bitmap ?", this);
  question->setObjectName("lblQuestion");
  question->setFont(PixelFont("Times New Roman", 27, true));
  question->setAlignment(Qt::AlignCenter);
  question->setGeometry(0, 20, 414, 60);

  auto* strip = new QWidget(this);
  strip->setObjectName("pnlButtons");
  strip->setGeometry(0, 100, 414, 48);
  SetPanelColour(*strip, QColor(0xCC, 0xCC, 0xCC));

  auto* next = new QPushButton("Play Next Bitmap", strip);
  next->setObjectName("btnNext");
  next->setGeometry(11, 11, 130, 25);
  next->setDefault(true);
  connect(next, &QPushButton::clicked, this, [this] { done(mrOk); });
  auto* current = new QPushButton("Play Current Bitmap", strip);
  current->setObjectName("btnCurrent");
  current->setGeometry(147, 11, 140, 25);
  connect(current, &QPushButton::clicked, this, [this] { done(mrYes); });
  auto* stop = new QPushButton("Stop", strip);
  stop->setObjectName("btnStop");
  stop->setGeometry(293, 11, 110, 25);
  connect(stop, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

} // namespace kv
