#include "app/uQtPaintBox.h"

#include "platform/uCp1252.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace kv {

uint16_t VirtualKeyOf(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (qtKey - Qt::Key_A));
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint16_t>('0' + (qtKey - Qt::Key_0));
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (qtKey - Qt::Key_F1));
  switch (qtKey) {
  case Qt::Key_Backspace:
    return 0x08;
  case Qt::Key_Tab:
    return 0x09;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return 0x0D;
  case Qt::Key_Shift:
    return 0x10;
  case Qt::Key_Control:
    return 0x11;
  case Qt::Key_Alt:
    return 0x12;
  case Qt::Key_Pause:
    return 0x13;
  case Qt::Key_Escape:
    return 0x1B;
  case Qt::Key_Space:
    return 0x20;
  case Qt::Key_PageUp:
    return 0x21;
  case Qt::Key_PageDown:
    return 0x22;
  case Qt::Key_End:
    return 0x23;
  case Qt::Key_Home:
    return 0x24;
  case Qt::Key_Left:
    return 0x25;
  case Qt::Key_Up:
    return 0x26;
  case Qt::Key_Right:
    return 0x27;
  case Qt::Key_Down:
    return 0x28;
  case Qt::Key_Insert:
    return 0x2D;
  case Qt::Key_Delete:
    return 0x2E;
  case Qt::Key_Plus:
    return 0xBB;
  case Qt::Key_Comma:
    return 0xBC;
  case Qt::Key_Minus:
    return 0xBD;
  case Qt::Key_Period:
    return 0xBE;
  default:
    return 0;
  }
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= ssShift;
  if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
  if (modifiers & Qt::AltModifier) shift |= ssAlt;
  if (buttons & Qt::LeftButton) shift |= ssLeft;
  if (buttons & Qt::RightButton) shift |= ssRight;
  if (buttons & Qt::MiddleButton) shift |= ssMiddle;
  return shift;
}

namespace {

TMouseButton ButtonOf(Qt::MouseButton button) {
  switch (button) {
  case Qt::RightButton:
    return mbRight;
  case Qt::MiddleButton:
    return mbMiddle;
  default:
    return mbLeft;
  }
}

Qt::CursorShape ShapeOf(TCursor cursor) {
  switch (cursor) {
  case crNone:
    return Qt::BlankCursor;
  case crCross:
    return Qt::CrossCursor;
  case crIBeam:
    return Qt::IBeamCursor;
  case crSizeAll:
    return Qt::SizeAllCursor;
  case crHourGlass:
    return Qt::WaitCursor;
  case crDrag:
    return Qt::DragMoveCursor;
  case crNo:
    return Qt::ForbiddenCursor;
  case crHandPoint:
    return Qt::PointingHandCursor;
  default:
    return Qt::ArrowCursor;
  }
}

} // namespace

TQtPaintBox::TQtPaintBox(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // Every pixel is painted from the buffer: no background, no double work.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  SetAlign(alClient);
}

TQtPaintBox::~TQtPaintBox() = default;

TPoint TQtPaintBox::ClientToScreen(const TPoint& point) const {
  const QPoint p = mapToGlobal(QPoint(point.X, point.Y));
  return TPoint{p.x(), p.y()};
}

void TQtPaintBox::SetCursor(TCursor value) {
  TKVPaintBox::SetCursor(value);
  setCursor(ShapeOf(value));
}

void TQtPaintBox::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TKVPaintBox::SetBounds(left, top, width, height);
  if (FResizing) return;
  // The engine sizes the playing area; the widget follows unless the window lays it out.
  if (Align() != alClient) setGeometry(left, top, width, height);
}

void TQtPaintBox::BoundsChanged() {
  TBitmap32& buffer = Buffer();
  if (buffer.Empty())
    FImage = QImage();
  else
    FImage = QImage(reinterpret_cast<uchar*>(buffer.Bits()), buffer.Width(), buffer.Height(),
                    buffer.Width() * 4, QImage::Format_RGB32);
}

namespace {

const QEvent::Type FrameEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

void TQtPaintBox::ScheduleFrame() {
  // Ahead of other queued work (sounds being opened, timer ticks): what the player sees comes first.
  QCoreApplication::postEvent(this, new QEvent(FrameEvent), Qt::HighEventPriority);
}

void TQtPaintBox::customEvent(QEvent* event) {
  if (event->type() == FrameEvent)
    RunFrame();
  else
    QWidget::customEvent(event);
}

void TQtPaintBox::Present(std::span<const TRect> areas) {
  for (const TRect& r : areas) update(QRect(r.Left, r.Top, r.Width(), r.Height()));
  ++FFramesPresented;
  if (OnPresented) OnPresented();
}

void TQtPaintBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (FImage.isNull()) {
    painter.fillRect(event->rect(), Qt::gray);
    return;
  }
  const QRect area = event->rect();
  painter.drawImage(area.topLeft(), FImage, area);
  // Past the buffer (a window larger than the playing area): the window's own colour.
  for (const QRect& r : QRegion(area).subtracted(QRegion(FImage.rect())))
    painter.fillRect(r, palette().window());
}

void TQtPaintBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (Align() != alClient) return;
  FResizing = true;
  SetBounds(x(), y(), width(), height());
  FResizing = false;
}

void TQtPaintBox::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseDown(ButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TQtPaintBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseUp(ButtonOf(event->button()), ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TQtPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseDown(ButtonOf(event->button()),
            static_cast<TShiftState>(ShiftStateOf(event->modifiers(), event->buttons()) | ssDouble), p.x(),
            p.y());
}

void TQtPaintBox::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseMove(ShiftStateOf(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TQtPaintBox::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  MouseEnter();
}

void TQtPaintBox::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  MouseLeave();
}

void TQtPaintBox::keyPressEvent(QKeyEvent* event) {
  const TShiftState shift = ShiftStateOf(event->modifiers(), Qt::NoButton);
  if (const uint16_t key = VirtualKeyOf(event->key()); key != 0) KeyDown(key, shift);
  const std::string typed = Utf8ToCp1252(event->text().toStdString());
  for (const char c : typed)
    if (c != 0) KeyPress(c);
}

void TQtPaintBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  if (const uint16_t key = VirtualKeyOf(event->key()); key != 0)
    KeyUp(key, ShiftStateOf(event->modifiers(), Qt::NoButton));
}

} // namespace kv
