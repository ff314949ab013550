#include "app/ufrmProgressInfo.h"

#include "app/uModalDialog.h"
#include "platform/uQtPlatform.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

namespace kv {

TfrmProgressInfo::TfrmProgressInfo(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setWindowTitle("Creating Pieces Data...");
  setFixedSize(406, 57);
  setFont(DialogFont());
  SetPanelColour(*this, QColor(0xE8, 0xE8, 0xE8));

  lblInfo = new QLabel("Building ...", this);
  lblInfo->setObjectName("lblInfo");
  QFont bold = font();
  bold.setBold(true);
  lblInfo->setFont(bold);
  lblInfo->setAlignment(Qt::AlignCenter);
  lblInfo->setGeometry(0, 8, 406, 18);

  pbProgress = new QProgressBar(this);
  pbProgress->setObjectName("pbProgress");
  pbProgress->setGeometry(10, 32, 385, 16);
  pbProgress->setRange(0, 100);
  pbProgress->setValue(0);
  pbProgress->setTextVisible(false);
}

void TfrmProgressInfo::SetText(const std::string& text) {
  lblInfo->setText(QtText(text));
  lblInfo->repaint();
}

void TfrmProgressInfo::SetPercent(uint8_t percent) {
  pbProgress->setValue(std::min<int>(percent, 100));
}

void TfrmProgressInfo::showEvent(QShowEvent* event) {
  CentreOnScreen(*this);
  QWidget::showEvent(event);
}

} // namespace kv
