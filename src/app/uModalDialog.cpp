#include "app/uModalDialog.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace kv {

TModalDialog::TModalDialog(QWidget* parent, bool centred) : QDialog(parent), FCentred(centred) {
  // The dialogs have a fixed size and no help button.
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);
}

void TModalDialog::showEvent(QShowEvent* event) {
  if (FCentred) CentreOnScreen(*this);
  QDialog::showEvent(event);
}

QFont DialogFont() {
  return QFont("Verdana", 8);
}

QFont PixelFont(const char* family, int pixels, bool bold) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

void SetPanelColour(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, colour);
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

void CentreOnScreen(QWidget& widget) {
  const QScreen* screen = widget.screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  widget.move(area.left() + (area.width() - widget.width()) / 2,
              area.top() + (area.height() - widget.height()) / 2);
}

} // namespace kv
