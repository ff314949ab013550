#include "jigsaw/uKVJigsawBoard.h"

#include "core/uKVErrors.h"
#include "gui/uKVGraphicEngine.h"
#include "platform/uDesktop.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kv {

TKVCustomJigsawBoard::TKVCustomJigsawBoard(TPlatformServices services)
    : FServices(std::move(services)), FView(*this, FModel), FAnimator(FModel, *this, FServices),
      FInput(FModel, FAnimator, FView, *this) {}

TKVCustomJigsawBoard::~TKVCustomJigsawBoard() = default;

const TKVClassInfo& TKVCustomJigsawBoard::StaticClassInfo() {
  static const TKVClassInfo info{"TKVCustomJigsawBoard", &TKVAppControlLayerItem::StaticClassInfo(), {}, {}};
  return info;
}

const TKVClassInfo& TKVJigsawBoard::StaticClassInfo() {
  static const TKVClassInfo info{
      "TKVJigsawBoard",
      &TKVCustomJigsawBoard::StaticClassInfo(),
      {},
      {OrdinalProperty<TKVJigsawBoard>(
           "DragMode", TKVPropertyKind::pkEnumeration, {"False", "True"},
           [](const TKVJigsawBoard& b) { return b.DragMode ? 1 : 0; },
           [](TKVJigsawBoard& b, int32_t v) { b.DragMode = v != 0; }),
       IntegerProperty<TKVJigsawBoard>(
           "Magnet", [](const TKVJigsawBoard& b) { return static_cast<int32_t>(b.Magnet); },
           [](TKVJigsawBoard& b, int32_t v) { b.Magnet = static_cast<uint8_t>(std::clamp(v, 0, 255)); })}};
  return info;
}

// ---- lifecycle

void TKVCustomJigsawBoard::InitControl() {
  TKVAppControlLayerItem::InitControl();
  // Unlike a plain image, the board takes part in hit testing.
  Options = kvcoAll;
  Magnet = 6;
  RotationStep = 10;
  FlyStep = 15;
  FInput.Reset();
  FAnimator.Stop();
}

void TKVCustomJigsawBoard::Prepare() {
  TKVAppControlLayerItem::Prepare();
  FModel.ResetZOrder();
  Prepared();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Start() {
  TKVAppControlLayerItem::Start();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Reset() {
  TKVAppControlLayerItem::Reset();
  FAnimator.Stop();
  FModel.ResetPlay();
  FInput.Reset();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Pause() {
  TKVAppControlLayerItem::Pause();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Resume() {
  TKVAppControlLayerItem::Resume();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Shutdown() {
  FAnimator.Stop();
  TKVAppControlLayerItem::Shutdown();
}

// ---- pieces

void TKVCustomJigsawBoard::LoadPieces(TPieces&& pieces, int32_t cols, int32_t rows) {
  bool fits = cols >= 0 && rows >= 0 && cols <= UINT16_MAX && rows <= UINT16_MAX &&
              pieces.size() == static_cast<std::size_t>(rows);
  for (std::size_t r = 0; fits && r < pieces.size(); ++r)
    fits = pieces[r].size() == static_cast<std::size_t>(cols);
  if (!fits)
    throw Exception("The pieces do not form a grid of " + std::to_string(cols) + " x " +
                    std::to_string(rows));
  const std::size_t count = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
  std::vector<TKVBoardPiece> states;
  std::vector<TKVPieceSprite> sprites;
  states.reserve(count);
  sprites.reserve(count);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      TPiece& source = pieces[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
      TKVBoardPiece piece = BoardPieceState(source);
      piece.Column = c;
      piece.Row = r;
      states.push_back(piece);
      sprites.push_back(TakeSprite(source));
    }
  FView.LoadSprites(std::move(sprites));
  FModel.Load(std::move(states), cols, rows);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::ClearPieces() {
  FView.Clear();
  FModel.Clear();
}

TJigsawPieceState TKVCustomJigsawBoard::State(int32_t row, int32_t column) const {
  return BoardPieceSaveState(Piece(row, column));
}

void TKVCustomJigsawBoard::RaisePiece(int32_t col, int32_t row) {
  if (!FModel.Contains(row, col)) return;
  FModel.Raise(FModel.Index(row, col));
  InvalidateChanges();
}

// ---- play

void TKVCustomJigsawBoard::MarkAll() {
  // Marking ends with the win.
  if (!FModel.Won()) FModel.MarkAll();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::UnmarkAll() {
  FModel.ClearAllTransient();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::Drop() {
  FInput.Drop();
}

void TKVCustomJigsawBoard::SettleBoard() {
  FModel.SettleBoard(Width(), Height());
  if (OnSettled) OnSettled();
}

void TKVCustomJigsawBoard::CheckComplete() {
  if (!FModel.CheckComplete()) return;
  if (OnStopAllSounds) OnStopAllSounds();
  Notify(TAppCode::PlayRepeating, TGameEvent::Complete);
  InvalidateChanges();
  if (OnWin) OnWin(this);
}

// ---- solving aids

void TKVCustomJigsawBoard::SolveOnePiece() {
  if (!Running() || FModel.Won() || Busy()) return;
  if (FAnimator.SolveOnePiece()) FInput.ForgetClicks();
  InvalidateChanges();
}

void TKVCustomJigsawBoard::SolveAll(uint8_t confirm) {
  if (confirm > 1) return;
  if (!Running() || FModel.Won() || Busy()) return;
  if (confirm == 1) {
    // The question lets the program run on; the board may be gone when it returns.
    const std::weak_ptr<bool> alive = FAlive;
    if (!FServices.Boxes || !FServices.Boxes->AskConfirmation("Solve all pieces?")) return;
    if (alive.expired() || !Running() || FModel.Won() || Busy()) return;
  }
  FInput.ForgetClicks();
  FAnimator.SolveAll();
  InvalidateChanges();
}

// ---- mouse and keys

void TKVCustomJigsawBoard::MouseEvent(const TPoint& point, int32_t kind, int32_t shift, int32_t button) {
  const TMouseButton b = button == kvmbLeft ? mbLeft : mbRight;
  switch (kind) {
  case kvmkDown:
    LayerMouseDown(b, shift, point.X, point.Y);
    break;
  case kvmkUp:
    LayerMouseUp(b);
    break;
  case kvmkMove:
    // In drag mode pieces stay in hand only while the button is held; a release beyond the board never
    // reached it.
    if (button == kvmbNone && DragMode && GrabbedCount() > 0) Drop();
    LayerMouseMove(shift, point.X, point.Y);
    break;
  case kvmkEnter:
    MouseEnter();
    break;
  case kvmkLeave:
    MouseLeave();
    break;
  default:
    break;
  }
}

void TKVCustomJigsawBoard::KeyEvent(int32_t key, int32_t kind, int32_t shift) {
  if (kind == kvkkKeyDown) LayerKeyDown(key, shift);
}

void TKVCustomJigsawBoard::LayerMouseDown(TMouseButton button, int32_t shift, int32_t x, int32_t y) {
  FInput.MouseDown(button, shift, x, y);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerMouseMove(int32_t shift, int32_t x, int32_t y) {
  FInput.MouseMove(shift, x, y);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerMouseUp(TMouseButton button) {
  FInput.MouseUp(button);
  InvalidateChanges();
}

void TKVCustomJigsawBoard::LayerKeyDown(int32_t key, int32_t) {
  switch (key) {
  case VK_A:
    MarkAll();
    break;
  case VK_D:
    UnmarkAll();
    break;
  case VK_ESCAPE:
    NotifyApplication(kvmsgApplication, ToUnderlying(TAppCode::Close), VK_ESCAPE);
    break;
  default:
    break;
  }
}

void TKVCustomJigsawBoard::Notify(TAppCode code, TGameEvent event) {
  NotifyApplication(kvmsgApplication, ToUnderlying(code), ToUnderlying(event));
}

void TKVCustomJigsawBoard::Popup(int32_t x, int32_t y) {
  TKVCustomGraphicEngine* engine = Engine();
  IPopupMenu* menu = engine ? engine->PopupMenu() : nullptr;
  if (!menu) return;
  const TPoint origin = Origin();
  TPoint at{origin.X + x, origin.Y + y};
  if (const TKVPaintBox* box = engine->PaintBox()) at = box->ClientToScreen(at);
  menu->Popup(at.X, at.Y);
}

// ---- drawing

TPoint TKVCustomJigsawBoard::Origin() const {
  const TRect screen = GetScreenRect();
  return TPoint{screen.Left, screen.Top};
}

void TKVCustomJigsawBoard::InvalidateChanges() {
  FView.InvalidateChanges(FInput.Selection());
}

void TKVCustomJigsawBoard::PaintContent() {
  FView.Paint(FInput.Selection());
}

} // namespace kv
