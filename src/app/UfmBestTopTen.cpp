#include "app/UfmBestTopTen.h"

#include "platform/uQtPlatform.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kv {

TfmBestTopTen::TfmBestTopTen(QWidget* parent) : TModalDialog(parent) {
  setWindowTitle("Best Top Ten");
  setFixedSize(402, 59);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  auto* label = new QLabel("Enter Your Name :", this);
  label->setObjectName("lblName");
  label->setGeometry(8, 18, 112, 21);
  edName = new QLineEdit(this);
  edName->setObjectName("edName");
  edName->setGeometry(122, 18, 200, 21);
  edName->setMaxLength(MaxNameLength);
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("btnOK");
  ok->setGeometry(330, 16, 64, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TfmBestTopTen::accept);
}

std::string TfmBestTopTen::Name() const {
  return PackageText(edName->text());
}

} // namespace kv
