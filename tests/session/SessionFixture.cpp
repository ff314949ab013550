#include "SessionFixture.h"

#include "data/uKVStandardFunc.h"
#include "gui/uJpegCodec.h"
#include "gui/uKVGUIForm.h"
#include "jigsaw/uPackagePictureSteps.h"
#include "jigsaw/uRLE.h"
#include "support/PieceFixtures.h"

#include <algorithm>
#include <stdexcept>

namespace kvtest {

std::vector<uint8_t> SoundBytes(uint32_t soundId) {
  return {'S', 'N', 'D', static_cast<uint8_t>(soundId)};
}

void BuildSessionPackage(kv::TJigsawProject2& project, int width, int height) {
  kv::TBMPData& picture = project.AddPicture(0, 1);
  picture.Name = "Test picture";
  kv::SaveJpegToStream(PhotoLikeBitmap(width, height), picture.Data, 95);
  GeneratedGameLibrary(width, height).SaveToStream(project.PieceShapeData);
  // Pieces keep their orientation unless a test turns rotation on.
  project.NoRotation = 1;
  for (int32_t slot = 0; slot < 10; ++slot) {
    auto sound = std::make_unique<kv::TWaveData>();
    sound->ID = kFirstSoundId + static_cast<uint32_t>(slot);
    sound->Name = "Sound " + std::to_string(slot);
    sound->Data = kv::TMemoryStream(SoundBytes(sound->ID));
    project.SoundFormats.push_back({static_cast<int32_t>(sound->ID), kv::kvsfWAV});
    project.EventSounds[static_cast<std::size_t>(slot)].SoundIds = {sound->ID};
    project.Sounds.push_back(std::move(sound));
  }
}

uint32_t AddWallpaper(kv::TJigsawProject2& project, int width, int height, kv::TColor32 colour,
                      int32_t drawStyle) {
  kv::TBMPData& wallpaper = project.AddPicture(1);
  wallpaper.Name = "Wallpaper";
  kv::TBitmap32 plain(width, height);
  plain.Clear(colour);
  kv::SaveJpegToStream(plain, wallpaper.Data, 100);
  project.StartWallpaperIndex = static_cast<int32_t>(project.Pictures.size()) - 1;
  for (kv::TWallpaperEntry& entry : project.Wallpapers)
    if (entry.ID == wallpaper.ID) entry.Param = drawStyle;
  return wallpaper.ID;
}

SessionTest::SessionTest() {
  BuildSessionPackage(Project);
}

void SessionTest::SetUp() {
  Platform.RandomSeed = 7;
  auto surface = std::make_unique<kv::THeadlessPaintBox>();
  Box = surface.get();
  Engine.CreateSurface(std::move(surface));
  Engine.SetSize(kClientWidth, kClientHeight);
  App = std::make_unique<kv::TKVJigsawApplication>(Platform.Services(), Engine);
  App->SetMainWindow(this);
  App->SetClientArea(Box);
  App->SetProject(&Project);
  App->OnBoardWin = [this](kv::TKVGUIControl*) { ++Wins; };
  App->OnTimeOut = [this](kv::TKVCustomJigsawApplication*) { ++TimeOuts; };
  App->OnClockTick = [this](kv::TKVCustomJigsawApplication*) { ++ClockTicks; };
}

void SessionTest::TearDown() {
  App.reset();
  Engine.DestroySurface();
}

void SessionTest::StartGame(uint8_t difficulty) {
  App->Reset();
  kv::TKVGameSetup setup;
  kv::DecodePackagePicture(*Project.Pictures[0], setup.Picture);
  setup.PictureName = Project.Pictures[0]->Name;
  setup.Difficulty = difficulty;
  App->Prepare(std::move(setup));
  App->Start();
  // What the start queued: the first frame, the sounds opened, the music.
  Platform.Dispatcher.ProcessPending();
}

int SessionTest::Plays(uint32_t soundId) const {
  // Every game opens its sounds anew: all channels of the sound count.
  int plays = 0;
  for (const auto& record : Platform.SilentSound.Channels())
    if (record->Bytes == SoundBytes(soundId)) plays += record->Plays;
  return plays;
}

bool SessionTest::Playing(uint32_t soundId) const {
  for (const auto& record : Platform.SilentSound.Channels())
    if (record->Bytes == SoundBytes(soundId) && !record->Closed && record->Mode == kv::TSoundMode::Playing)
      return true;
  return false;
}

bool SessionTest::AdvanceUntil(const std::function<bool()>& cond, int64_t ms, int64_t step) {
  for (int64_t t = 0; t < ms; t += step) {
    if (cond()) return true;
    Platform.Advance(step);
  }
  return cond();
}

std::optional<std::size_t> SessionTest::TopPieceAt(int32_t x, int32_t y) {
  kv::TKVJigsawBoard& board = Board();
  std::vector<uint32_t> pixels;
  for (const kv::TZPos& z : board.ZOrder()) {
    const kv::TKVBoardPiece& piece = board.Piece(z.Row, z.Column);
    if (!piece.Visible) continue;
    const int32_t dx = x - piece.X, dy = y - piece.Y;
    if (dx < 0 || dy < 0 || dx >= piece.DisplayWidth() || dy >= piece.DisplayHeight()) continue;
    pixels.assign(static_cast<std::size_t>(piece.DisplayWidth()) * piece.DisplayHeight(), 0);
    kv::TRLE::Decode(board.Sprite(z.Row, z.Column).Images[piece.Rotation], pixels);
    if (pixels[static_cast<std::size_t>(dy) * piece.DisplayWidth() + dx] != 0)
      return static_cast<std::size_t>(z.Row) * board.Cols() + z.Column;
  }
  return std::nullopt;
}

std::optional<kv::TPoint> SessionTest::PickPoint(int32_t row, int32_t col) {
  kv::TKVJigsawBoard& board = Board();
  const kv::TKVBoardPiece& piece = board.Piece(row, col);
  const std::size_t index = static_cast<std::size_t>(row) * board.Cols() + col;
  // Points of the piece's cell, from its middle outwards.
  const int32_t left = piece.X + piece.LeftSize / 2, top = piece.Y + piece.TopSize / 2;
  for (int32_t ring = 0; ring <= 4; ++ring)
    for (int32_t i = -ring; i <= ring; ++i)
      for (int32_t j = -ring; j <= ring; ++j) {
        const int32_t x = left + board.CellWidth / 2 + i * board.CellWidth / 10;
        const int32_t y = top + board.CellHeight / 2 + j * board.CellHeight / 10;
        if (Reachable(x, y) && TopPieceAt(x, y) == index) return kv::TPoint{x, y};
      }
  return std::nullopt;
}

bool SessionTest::Reachable(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= ClientWidth || y >= ClientHeight) return false;
  // The preview window lies over the board.
  const kv::TKVGUIForm* preview = App->PreviewWindow();
  if (preview && preview->Visible()) {
    const kv::TRect r = preview->GetScreenRect();
    if (x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom) return false;
  }
  return true;
}

void SessionTest::Drag(int32_t x, int32_t y, int32_t dx, int32_t dy) {
  Box->MouseMove(0, x, y);
  Box->MouseDown(kv::mbLeft, kv::ssLeft, x, y);
  // Moves reach the board wherever they go; the button's release has to land on it.
  Box->MouseMove(kv::ssLeft, x + dx / 2, y + dy / 2);
  Box->MouseMove(kv::ssLeft, x + dx, y + dy);
  if (Reachable(x + dx, y + dy))
    Box->MouseUp(kv::mbLeft, 0, x + dx, y + dy);
  else
    Box->MouseUp(kv::mbLeft, 0, ClientWidth - 1, ClientHeight - 1);
}

bool SessionTest::MoveGroupAside(const std::vector<bool>& placed) {
  kv::TKVJigsawBoard& board = Board();
  // The placed group's bounds and those of the loose pieces.
  kv::TRect group{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  std::vector<kv::TRect> loose;
  for (int32_t i = 0; i < board.PieceCount(); ++i) {
    const kv::TRect r = board.Piece(i / board.Cols(), i % board.Cols()).DisplayRect();
    if (placed[static_cast<std::size_t>(i)])
      group = kv::TRect{std::min(group.Left, r.Left), std::min(group.Top, r.Top),
                        std::max(group.Right, r.Right), std::max(group.Bottom, r.Bottom)};
    else
      loose.push_back(r);
  }
  // A place inside the area where the group covers no loose piece.
  for (int32_t y = 0; y + group.Height() < ClientHeight; y += 16)
    for (int32_t x = 0; x + group.Width() < ClientWidth; x += 16) {
      const kv::TRect moved{x, y, x + group.Width(), y + group.Height()};
      if (std::any_of(loose.begin(), loose.end(),
                      [&](const kv::TRect& r) { return !kv::IntersectRect(r, moved).IsEmpty(); }))
        continue;
      for (int32_t i = 0; i < board.PieceCount(); ++i) {
        if (!placed[static_cast<std::size_t>(i)]) continue;
        const std::optional<kv::TPoint> at = PickPoint(i / board.Cols(), i % board.Cols());
        if (!at) continue;
        Drag(at->X, at->Y, x - group.Left, y - group.Top);
        return true;
      }
      return false;
    }
  return false;
}

bool SessionTest::AssembleByMouse() {
  kv::TKVJigsawBoard& board = Board();
  const kv::TKVBoardPiece& anchor = board.Piece(0, 0);
  std::vector<bool> placed(static_cast<std::size_t>(board.PieceCount()), false);
  placed[0] = true;
  for (int32_t done = 1, asides = 0; done < board.PieceCount();) {
    // The first loose piece, in row order, that the mouse can reach.
    bool moved = false;
    for (int32_t row = 0; row < board.Rows() && !moved; ++row)
      for (int32_t col = 0; col < board.Cols() && !moved; ++col) {
        const std::size_t index = static_cast<std::size_t>(row) * board.Cols() + col;
        if (placed[index]) continue;
        // Only pieces next to a placed one: each drop then joins the growing picture.
        const bool nextToPlaced = (col > 0 && placed[index - 1]) || (row > 0 && placed[index - board.Cols()]);
        if (!nextToPlaced) continue;
        const std::optional<kv::TPoint> at = PickPoint(row, col);
        if (!at) continue;
        const kv::TKVBoardPiece& piece = board.Piece(row, col);
        const int32_t targetX = anchor.X + piece.CorrectX - anchor.CorrectX;
        const int32_t targetY = anchor.Y + piece.CorrectY - anchor.CorrectY;
        Drag(at->X, at->Y, targetX - piece.X, targetY - piece.Y);
        if (piece.Joined != 1) {
          ADD_FAILURE() << "piece " << row << ", " << col << " at " << piece.X << ", " << piece.Y << " for "
                        << targetX << ", " << targetY << " did not join";
          return false;
        }
        placed[index] = true;
        moved = true;
      }
    if (moved) {
      ++done;
      continue;
    }
    // The growing picture lies over the loose pieces: it moves out of their way, as a player would move it.
    if (++asides > board.PieceCount() || !MoveGroupAside(placed)) {
      ADD_FAILURE() << "no loose piece next to the placed ones can be picked up";
      return false;
    }
  }
  return true;
}

} // namespace kvtest
