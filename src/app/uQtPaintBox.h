// The playing area on the screen: a widget that shows the graphic engine's buffer as it is (a QImage over the
// surface's pixels, no copy) and hands mouse and key input to the paint box's events. A frame asked for runs
// once the events already queued are handled, so that a burst of pointer moves gives one repaint.
#pragma once

#include "gui/uKVPaintBox.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace kv {

// Windows virtual-key code of a Qt key (0 when the game has no use for it).
uint16_t VirtualKeyOf(int qtKey);
// The paint box's shift state of Qt modifiers and held buttons.
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons);

class TQtPaintBox : public QWidget, public TKVPaintBox {
public:
  explicit TQtPaintBox(QWidget* parent = nullptr);
  ~TQtPaintBox() override;

  TPoint ClientToScreen(const TPoint& point) const override;
  void SetFocus() override { setFocus(Qt::OtherFocusReason); }
  void SetCursor(TCursor value) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  // Frames run and areas shown, for the first-frame report and tests.
  int FramesPresented() const { return FFramesPresented; }
  // Called after each presented frame.
  std::function<void()> OnPresented;

protected:
  void ScheduleFrame() override;
  void Present(std::span<const TRect> areas) override;
  void BoundsChanged() override;

  void customEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool) override { return false; } // Tab belongs to the game

private:
  QImage FImage; // over the buffer's pixels
  bool FResizing = false;
  int FFramesPresented = 0;
};

} // namespace kv
