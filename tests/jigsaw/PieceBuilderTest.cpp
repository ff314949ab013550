#include "gui/uPictureConverters.h"
#include "jigsaw/uJigsawSpriteCreator.h"
#include "jigsaw/uKVJigsawBoardRender.h"
#include "jigsaw/uKVJigsawPieceBuilder.h"
#include "jigsaw/uRLE.h"
#include "support/PieceFixtures.h"
#include "support/TestSupport.h"

#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using kv::TBitmap32;
using kv::TPiece;

namespace {

// What a game holds: the library of a package with a picture, the cut of that picture, and the carver.
struct TGame {
  kv::TKVJigsawPieceLibrary Library;
  kv::TKVJigsawCut Cut;
  kv::TKVJigsawCarver Carver;
};

// A game of a picture of this size, not cut yet.
TGame LoadGame(int width, int height) {
  TGame game;
  game.Library = kvtest::GeneratedGameLibrary(width, height);
  if (width > 0) game.Cut.Picture = kvtest::PhotoLikeBitmap(width, height);
  return game;
}

std::vector<uint32_t> Decoded(const TPiece& piece, int k) {
  std::vector<uint32_t> words(static_cast<std::size_t>(piece.Width) * piece.Height, 0xDEADBEEFu);
  EXPECT_EQ(kv::TRLE::Decode(piece.Images[k], words), words.size());
  return words;
}

// The bitmap of a piece item, built as the cut builds it.
TBitmap32 ItemBitmap(const kv::TKVJigsawPieceLibrary& library, const kv::TKVJigsawCut& cut,
                     const kv::TKVJigsawCarver& carver, const kv::TKVPuzzlePieceItem& item) {
  TBitmap32 bitmap;
  cut.BuildPieceBitmap(library, carver, cut.ScaledPicture, bitmap, item.X, item.Y, item.TopEdge,
                       item.BottomEdge, item.RightEdge, item.LeftEdge);
  return bitmap;
}

// The image of rotation k as the game draws it: the bitmap blended onto a clear surface, then turned.
std::vector<uint32_t> Expected(const TBitmap32& bitmap, int k, bool composite) {
  TBitmap32 image;
  if (composite) {
    TBitmap32 source(bitmap);
    source.SetDrawMode(kv::dmBlend);
    image.SetSize(bitmap.Width(), bitmap.Height());
    image.Clear(0);
    source.Draw(image, 0, 0);
  } else {
    image.Assign(bitmap);
  }
  if (k == 1) image.Rotate90();
  if (k == 2) image.Rotate180();
  if (k == 3) image.Rotate270();
  return {image.Bits(), image.Bits() + static_cast<std::size_t>(image.Width()) * image.Height()};
}

// The saved form of built pieces, rows outer.
kv::TJigsawArrayData SavedStates(const kv::TPieces& pieces) {
  kv::TJigsawArrayData states;
  for (const auto& row : pieces)
    for (const TPiece& piece : row) states.push_back(kv::PieceState(piece));
  return states;
}

struct TBuildLog {
  std::vector<std::string> Status, Progress, Finish;
  std::vector<int> Percent;
};

kv::TPieceBuildOptions Options(TBuildLog& log) {
  kv::TPieceBuildOptions options;
  options.AreaWidth = 900;
  options.AreaHeight = 700;
  options.BevelLevel = 2;
  options.ShadowGrey = 40;
  options.Translate = [](const std::string& text) { return "<" + text + ">"; };
  options.OnStatus = [&log](const std::string& text) { log.Status.push_back(text); };
  options.OnProgress = [&log](const std::string& text, int percent) {
    log.Progress.push_back(text);
    log.Percent.push_back(percent);
  };
  options.OnFinish = [&log](const std::string& text) { log.Finish.push_back(text); };
  return options;
}

} // namespace

// A new game: every piece carries its four coded rotations, the shadow of the rotation it shows, its place
// in the picture and a starting place inside the scatter area.
TEST(PieceBuilderTest, NewGameCodesEveryRotationAndShadowsTheShownOne) {
  kv::TRandomSource random;
  TGame game = LoadGame(640, 480);
  random.Seed(7);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 1;
  kv::TPieces pieces;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);

  const int rows = game.Cut.Rows(game.Library), cols = game.Cut.Cols(game.Library);
  ASSERT_EQ(pieces.size(), static_cast<std::size_t>(rows));
  const int total = rows * cols;
  EXPECT_GE(total, 25);
  EXPECT_EQ(log.Status, std::vector<std::string>{"<Creating pieces>"});
  EXPECT_EQ(log.Finish, std::vector<std::string>{"<Finish>"});
  ASSERT_EQ(log.Progress.size(), static_cast<std::size_t>(total));
  EXPECT_EQ(log.Progress.front(), "1 <of> " + std::to_string(total));
  EXPECT_EQ(log.Progress.back(), std::to_string(total) + " <of> " + std::to_string(total));
  EXPECT_EQ(log.Percent.back(), 100);
  EXPECT_EQ(game.Carver.BevelLevel, 2);

  int rotations[4] = {};
  for (int r = 0; r < rows; ++r) {
    ASSERT_EQ(pieces[r].size(), static_cast<std::size_t>(cols));
    for (int c = 0; c < cols; ++c) {
      const TPiece& piece = pieces[r][c];
      const kv::TKVPuzzlePieceItem& item = game.Cut.Piece(r * cols + c);
      SCOPED_TRACE("piece " + std::to_string(r) + "," + std::to_string(c));
      const TBitmap32 bitmap = ItemBitmap(game.Library, game.Cut, game.Carver, item);
      EXPECT_EQ(piece.Row, r);
      EXPECT_EQ(piece.Column, c);
      EXPECT_EQ(piece.CorrectX, item.X);
      EXPECT_EQ(piece.CorrectY, item.Y);
      EXPECT_EQ(piece.Width, bitmap.Width());
      EXPECT_EQ(piece.Height, bitmap.Height());
      EXPECT_EQ(piece.TopEdge, item.TopEdge + 1);
      EXPECT_EQ(piece.LeftEdge, item.LeftEdge + 1);
      EXPECT_EQ(piece.TopSize, item.TopEdge < 0 ? 0 : game.Library.Template(item.TopEdge).Height);
      EXPECT_EQ(piece.RightSize, item.RightEdge < 0 ? 0 : game.Library.Template(item.RightEdge).Width);
      EXPECT_EQ(piece.StartRotation, piece.Rotation);
      EXPECT_EQ(piece.StartX, piece.X);
      EXPECT_GE(piece.X, 0);
      EXPECT_LT(piece.X, std::max(1, 900 - piece.Width / 2));
      EXPECT_LT(piece.Y, std::max(1, 700 - piece.Height / 2));
      // On the board a built piece starts shown, with no automatic move.
      EXPECT_EQ(kv::BoardPieceState(piece).TargetX, -1);
      EXPECT_TRUE(kv::BoardPieceState(piece).Visible);
      ++rotations[piece.Rotation];
      for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(piece.HasImage(k));
        EXPECT_EQ(piece.ImageSizes[k], static_cast<int32_t>(piece.Images[k].size()));
        EXPECT_EQ(Decoded(piece, k), Expected(bitmap, k, true)) << "rotation " << k;
        EXPECT_EQ(piece.HasShadow(k), k == piece.Rotation);
      }
      // The shadow: grey colour bits, alpha the 5 x 5 mean of the shown image's alpha.
      std::vector<uint32_t> image = Expected(bitmap, piece.Rotation, true), shadow(image.size());
      kv::BlurShadow(image.data(), shadow.data(), piece.RotatedWidth(piece.Rotation),
                     piece.RotatedHeight(piece.Rotation), 40, kv::AverageTable());
      EXPECT_TRUE(std::ranges::equal(piece.Shadows[piece.Rotation], shadow));
      EXPECT_EQ(piece.ShadowPixels, piece.Width * piece.Height);
    }
  }
  for (int k = 0; k < 4; ++k) EXPECT_GT(rotations[k], 0) << "no piece starts in rotation " << k;
}

TEST(PieceBuilderTest, WithoutRotationOnlyTheUprightImageExists) {
  kv::TRandomSource random;
  TGame game = LoadGame(500, 400);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.NoRotation = true;
  kv::TPieces pieces;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);
  ASSERT_FALSE(pieces.empty());
  for (const auto& row : pieces)
    for (const TPiece& piece : row) {
      EXPECT_EQ(piece.Rotation, 0);
      EXPECT_TRUE(piece.HasImage(0) && piece.HasShadow(0));
      EXPECT_FALSE(piece.HasImage(1) || piece.HasImage(2) || piece.HasImage(3));
    }
}

// A saved game is rebuilt from its records: the same edges and places whatever the random source does,
// its own positions and rotations, and a shadow for every rotation of a joined piece.
TEST(PieceBuilderTest, SavedGameRebuildsThePiecesItRecords) {
  kv::TRandomSource random;
  TGame game = LoadGame(800, 600);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 2;
  random.Seed(11);
  kv::TPieces first;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, first, random);

  kv::TJigsawArrayData saved = SavedStates(first);
  saved[0].X = 12345;
  saved[0].Rotation = 3;
  saved[1].Joined = 1;
  saved[2].Width = 1; // sizes come from the rebuilt image

  random.Seed(99);
  options.Saved = &saved;
  kv::TPieces again;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, again, random);
  ASSERT_EQ(again.size(), first.size());
  for (std::size_t r = 0; r < first.size(); ++r)
    for (std::size_t c = 0; c < first[r].size(); ++c) {
      const TPiece& a = first[r][c];
      const TPiece& b = again[r][c];
      EXPECT_EQ(b.Images, a.Images);
      EXPECT_EQ(b.Width, a.Width);
      EXPECT_EQ(b.CorrectX, a.CorrectX);
      EXPECT_EQ(b.TopEdge, a.TopEdge);
      EXPECT_EQ(b.TopSize, a.TopSize);
    }
  EXPECT_EQ(again[0][0].X, 12345);
  EXPECT_EQ(again[0][0].Rotation, 3);
  EXPECT_TRUE(again[0][0].HasShadow(3));
  for (int k = 0; k < 4; ++k) EXPECT_TRUE(again[0][1].HasShadow(k));
  EXPECT_EQ(game.Cut.PieceItems.size(), saved.size());
  EXPECT_EQ(game.Cut.PieceItems[5].X, saved[5].CorrectX);
}

TEST(PieceBuilderTest, FailuresRaiseAndStillFinish) {
  kv::TRandomSource random;
  struct Case {
    const char* name;
    int width;
    std::size_t savedRecords; // 0: a new game
    const char* message;
  };
  const Case cases[] = {
      {"empty picture", 0, 0, "Bitmap not spesified"},
      {"saved game of another cut", 640, 3, "The saved game does not fit the pieces of this picture."},
  };
  for (const Case& c : cases) {
    TGame game = LoadGame(c.width, 480);
    TBuildLog log;
    kv::TPieceBuildOptions options = Options(log);
    kv::TJigsawArrayData saved(c.savedRecords);
    if (c.savedRecords > 0) options.Saved = &saved;
    kv::TPieces pieces;
    try {
      kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const kv::Exception& e) {
      EXPECT_STREQ(e.what(), c.message) << c.name;
    }
    // The finish hook runs once the build has begun; a picture without pixels stops before it.
    EXPECT_EQ(log.Finish.size(), c.width > 0 ? 1u : 0u) << c.name;
  }
}

// The creator stores the piece bitmaps as built (no blend), grey-30 shadows, bevel level 0, and rebuilds a
// saved game from its records.
TEST(PieceBuilderTest, SpriteCreatorStoresTheBitmapsAsBuilt) {
  kv::TRandomSource random;
  kv::TJigsawSpriteCreator creator(random);
  creator.Library = kvtest::GeneratedGameLibrary(640, 480);
  creator.Carver.BevelLevel = 5;
  creator.AreaWidth = 300;
  creator.AreaHeight = 200;
  std::vector<int32_t> done;
  creator.OnProgress = [&done](int32_t n, int32_t total) {
    done.push_back(n);
    EXPECT_GE(total, n);
  };
  const TBitmap32 picture = kvtest::PhotoLikeBitmap(640, 480);
  creator.Build(picture, 0);
  EXPECT_EQ(creator.Carver.BevelLevel, 0);
  ASSERT_GT(creator.Rows() * creator.Cols(), 1);
  EXPECT_EQ(done.size(), static_cast<std::size_t>(creator.Rows() * creator.Cols()));
  const TPiece& piece = creator.Pieces()[1][1];
  const TBitmap32 bitmap =
      ItemBitmap(creator.Library, creator.Cut, creator.Carver, creator.Cut.Piece(creator.Cols() + 1));
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Decoded(piece, k), Expected(bitmap, k, false));
  EXPECT_EQ(piece.Shadows[piece.Rotation].front() & 0xFFFFFFu, 0x1E1E1Eu);

  kv::TJigsawFile saved;
  saved.Difficulty = 0;
  saved.PieceStates = creator.PieceStates();
  ASSERT_EQ(saved.PieceStates.size(), static_cast<std::size_t>(creator.Rows() * creator.Cols()));
  EXPECT_EQ(saved.PieceStates[creator.Cols() + 1], kv::PieceState(piece));
  kv::TJigsawSpriteCreator again(random);
  again.Library = kvtest::GeneratedGameLibrary(640, 480);
  again.Build(picture, saved);
  EXPECT_EQ(again.PieceStates(), saved.PieceStates);
  EXPECT_EQ(again.Pieces()[1][1].Images, piece.Images);
}

// A new game built into the pieces of the previous one (their storage is reused) is the game a fresh build
// gives: nothing of the old pieces shows through.
TEST(PieceBuilderTest, RebuildingIntoOldPiecesLeavesNothingBehind) {
  kv::TRandomSource random;
  TGame game = LoadGame(800, 600);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  kv::TPieces reused, fresh;
  options.Difficulty = 3;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, reused,
                  random); // more, smaller pieces with all four rotations
  options.Difficulty = 1;
  options.NoRotation = true;
  random.Seed(5);
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, reused, random);
  random.Seed(5);
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, fresh, random);
  ASSERT_EQ(reused.size(), fresh.size());
  for (std::size_t r = 0; r < fresh.size(); ++r) {
    ASSERT_EQ(reused[r].size(), fresh[r].size());
    for (std::size_t c = 0; c < fresh[r].size(); ++c) {
      EXPECT_EQ(kv::PieceState(reused[r][c]), kv::PieceState(fresh[r][c]));
      EXPECT_EQ(reused[r][c].Images, fresh[r][c].Images);
      EXPECT_EQ(reused[r][c].ImageSizes, fresh[r][c].ImageSizes);
      EXPECT_EQ(reused[r][c].Shadows, fresh[r][c].Shadows);
      EXPECT_EQ(reused[r][c].ShadowPixels, fresh[r][c].ShadowPixels);
    }
  }
}

namespace {

void ExpectSamePieces(const kv::TPieces& a, const kv::TPieces& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t r = 0; r < a.size(); ++r) {
    ASSERT_EQ(a[r].size(), b[r].size());
    for (std::size_t c = 0; c < a[r].size(); ++c) {
      const TPiece& x = a[r][c];
      const TPiece& y = b[r][c];
      SCOPED_TRACE("piece " + std::to_string(r) + "," + std::to_string(c));
      EXPECT_EQ(kv::PieceState(x), kv::PieceState(y));
      EXPECT_EQ(x.Images, y.Images);
      EXPECT_EQ(x.ImageSizes, y.ImageSizes);
      EXPECT_EQ(x.Shadows, y.Shadows);
      EXPECT_EQ(x.ShadowPixels, y.ShadowPixels);
      EXPECT_EQ(std::tie(x.TopSize, x.RightSize, x.BottomSize, x.LeftSize),
                std::tie(y.TopSize, y.RightSize, y.BottomSize, y.LeftSize));
      EXPECT_EQ(std::tie(x.Row, x.Column), std::tie(y.Row, y.Column));
    }
  }
}

} // namespace

TEST(PieceBuilderTest, ProgressPercentRoundsTheExactValueTiesToEven) {
  struct Case {
    int32_t done, total;
    int percent;
  };
  const Case cases[] = {
      {1, 8, 12},    {3, 8, 38},      {5, 8, 62}, {7, 8, 88},  {23, 40, 58}, {1, 40, 2},
      {3, 40, 8},    {1, 3, 33},      {2, 3, 67}, {1, 200, 0}, {3, 200, 2},  {0, 5, 0},
      {40, 40, 100}, {407, 408, 100}, {1, 0, 0},  {1, -4, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kv::ProgressPercent(c.done, c.total), c.percent) << c.done << " of " << c.total;
}

// Coding the pieces on several threads gives the game one thread gives, byte for byte, with the same random
// draws and the hooks called on the calling thread in piece order.
TEST(PieceBuilderTest, ThreadsBuildTheGameOneThreadBuilds) {
  kv::TRandomSource random;
  struct Case {
    const char* name;
    int width, height;
    uint8_t difficulty;
    bool noRotation, composite, saved;
  };
  const Case cases[] = {
      {"new game", 800, 600, 3, false, true, false},
      {"few pieces", 640, 480, 0, false, true, false},
      {"no rotation, as built", 500, 700, 2, true, false, false},
      {"saved game with joined pieces", 800, 600, 1, false, true, true},
  };
  const std::thread::id caller = std::this_thread::get_id();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGame game = LoadGame(c.width, c.height);
    kv::TJigsawArrayData saved;
    if (c.saved) {
      TBuildLog log;
      kv::TPieceBuildOptions options = Options(log);
      options.Difficulty = c.difficulty;
      kv::TPieces pieces;
      kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);
      saved = SavedStates(pieces);
      for (std::size_t i = 0; i < saved.size(); i += 3) saved[i].Joined = 1;
    }
    kv::TPieces built[3];
    TBuildLog logs[3];
    int32_t nextDraw[3] = {};
    const unsigned threads[3] = {1, 2, 5};
    for (int t = 0; t < 3; ++t) {
      kv::TPieceBuildOptions options = Options(logs[t]);
      options.Difficulty = c.difficulty;
      options.NoRotation = c.noRotation;
      options.Composite = c.composite;
      options.Saved = c.saved ? &saved : nullptr;
      options.Threads = threads[t];
      std::vector<std::thread::id> hookThreads;
      options.OnPieceDone = [&](int32_t, int32_t) { hookThreads.push_back(std::this_thread::get_id()); };
      random.Seed(21);
      kv::BuildPieces(game.Library, game.Cut, game.Carver, options, built[t], random);
      nextDraw[t] = random.RandomBelow(1 << 30);
      EXPECT_TRUE(std::ranges::all_of(hookThreads, [&](std::thread::id id) { return id == caller; }));
    }
    ASSERT_FALSE(built[0].empty());
    const int32_t total = static_cast<int32_t>(built[0].size() * built[0][0].size());
    ASSERT_EQ(logs[0].Percent.size(), static_cast<std::size_t>(total));
    for (int32_t n = 1; n <= total; ++n) {
      EXPECT_EQ(logs[0].Progress[static_cast<std::size_t>(n - 1)],
                std::to_string(n) + " <of> " + std::to_string(total));
      EXPECT_EQ(logs[0].Percent[static_cast<std::size_t>(n - 1)], kv::ProgressPercent(n, total));
    }
    for (int t = 1; t < 3; ++t) {
      SCOPED_TRACE(std::to_string(threads[t]) + " threads");
      ExpectSamePieces(built[0], built[t]);
      EXPECT_EQ(logs[t].Progress, logs[0].Progress);
      EXPECT_EQ(logs[t].Percent, logs[0].Percent);
      EXPECT_EQ(logs[t].Finish, logs[0].Finish);
      EXPECT_EQ(nextDraw[t], nextDraw[0]);
    }
  }
}

// The scatter draws come in piece order after the edge draws: rotation, then x and y within the area less
// half the piece's own size, which is known before its bitmap is built.
TEST(PieceBuilderTest, ScatterDrawsFollowThePieceOrder) {
  kv::TRandomSource random;
  TGame game = LoadGame(800, 600);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 2;
  options.AreaWidth = 300; // small enough that the piece sizes matter to every draw
  options.AreaHeight = 250;
  kv::TPieces pieces;
  random.Seed(3);
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);

  random.Seed(3);
  game.Cut.AssignEdges(game.Library, nullptr, random);
  for (const auto& row : pieces)
    for (const TPiece& piece : row) {
      SCOPED_TRACE("piece " + std::to_string(piece.Row) + "," + std::to_string(piece.Column));
      EXPECT_EQ(piece.Rotation, random.RandomBelow(4));
      EXPECT_EQ(piece.X, random.RandomBelow(300 - piece.Width / 2));
      EXPECT_EQ(piece.Y, random.RandomBelow(250 - piece.Height / 2));
    }
}

// A failing piece ends the build with its error after the pieces before it were reported, and so does a
// failing progress hook; the finish hook runs, whatever the number of threads.
TEST(PieceBuilderTest, AnErrorEndsTheBuildAfterThePiecesBeforeIt) {
  kv::TRandomSource random;
  TGame game = LoadGame(800, 600);
  TBuildLog first;
  kv::TPieces pieces;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, Options(first), pieces, random);
  kv::TJigsawArrayData saved = SavedStates(pieces);
  ASSERT_GT(saved.size(), 12u);
  ASSERT_LT(game.Library.TemplateCount(), 250);
  saved[9].TopEdge = 251; // no such template

  struct Case {
    const char* name;
    bool hookFails;
    std::size_t reported;
    std::string message;
  };
  const Case cases[] = {
      {"piece fails", false, 9, "Invalid edge template index 250."},
      {"hook fails", true, 5, "hook"},
  };
  for (const Case& c : cases)
    for (unsigned threads : {1u, 2u, 6u}) {
      SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(threads) + " threads");
      TBuildLog log;
      kv::TPieceBuildOptions options = Options(log);
      options.Saved = &saved;
      options.Threads = threads;
      if (c.hookFails)
        options.OnPieceDone = [](int32_t n, int32_t) {
          if (n == 5) throw kv::Exception("hook");
        };
      try {
        kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);
        ADD_FAILURE() << "no error";
      } catch (const kv::Exception& e) {
        EXPECT_EQ(e.what(), c.message);
      }
      EXPECT_EQ(log.Progress.size(), c.reported);
      EXPECT_EQ(log.Finish.size(), 1u);
    }
}

// A library whose layout draws edge shapes beyond what a byte records still cuts and plays a game; only
// saving it is refused, before anything is written.
TEST(PieceBuilderTest, EdgeShapesBeyondAByteStillPlayButCannotBeSaved) {
  kv::TRandomSource random;
  TGame game = LoadGame(640, 480);
  // Shapes of a layout the library does not have, in front: the game's own shapes move up to 300 and beyond.
  kv::TKVPieceTemplate unused = game.Library.Template(0);
  unused.LayoutIndex = 127;
  game.Library.Templates.insert(game.Library.Templates.begin(), 300, unused);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 1;
  kv::TPieces pieces;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);

  const int cols = game.Cut.Cols(game.Library);
  ASSERT_GT(pieces.size(), 1u);
  const TPiece& inner = pieces[1][1];
  const kv::TKVPuzzlePieceItem& item = game.Cut.Piece(cols + 1);
  EXPECT_GT(inner.TopEdge, 300);
  EXPECT_EQ(inner.TopEdge, item.TopEdge + 1);
  EXPECT_EQ(inner.LeftEdge, item.LeftEdge + 1);
  EXPECT_EQ(inner.TopSize, game.Library.Template(item.TopEdge).Height);
  EXPECT_EQ(inner.LeftSize, game.Library.Template(item.LeftEdge).Width);
  EXPECT_EQ(Decoded(inner, 0), Expected(ItemBitmap(game.Library, game.Cut, game.Carver, item), 0, true));

  try {
    kv::PieceState(inner);
    ADD_FAILURE() << "the state of a piece with shape " << inner.TopEdge << " was made";
  } catch (const kv::Exception& e) {
    EXPECT_STREQ(e.what(), kv::TooManyEdgeShapesMessage);
  }
  kvtest::TempDir dir;
  const std::string fileName = dir.file("game.jsw");
  kv::TJigsawFile file;
  file.Columns = cols;
  file.Rows = game.Cut.Rows(game.Library);
  const kv::TPieceGridStates states(pieces);
  file.SetPieces(&states);
  try {
    file.SaveToFile(fileName);
    ADD_FAILURE() << "the game was saved";
  } catch (const kv::Exception& e) {
    EXPECT_STREQ(e.what(), "The pieces of this game use more edge shapes than a saved game can record.");
  }
  EXPECT_FALSE(std::filesystem::exists(fileName));
}

// The same game with its own shapes in reach of a byte saves, and the file rebuilds it.
TEST(PieceBuilderTest, SavedPiecesRebuildTheGame) {
  kv::TRandomSource random;
  TGame game = LoadGame(640, 480);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 1;
  kv::TPieces pieces;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, pieces, random);
  kvtest::TempDir dir;
  const std::string fileName = dir.file("game.jsw");
  kv::TJigsawFile file;
  file.Columns = game.Cut.Cols(game.Library);
  file.Rows = game.Cut.Rows(game.Library);
  const kv::TPieceGridStates states(pieces);
  file.SetPieces(&states);
  file.SaveToFile(fileName);

  kv::TJigsawFile loaded;
  loaded.LoadFromFile(fileName, kv::ReadPictureSize);
  options.Saved = &loaded.PieceStates;
  kv::TPieces again;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, again, random);
  ExpectSamePieces(pieces, again);
}

// A game codes only the rotation each piece shows: the board codes the others and makes the owed shadows when
// it needs them, and they are byte for byte what a build of all of them makes. Joined pieces of a saved game
// owe the shadows of every rotation.
TEST(PieceBuilderTest, RotationsAndShadowsLeftForLaterComeOutAsBuilt) {
  kv::TRandomSource random;
  TGame game = LoadGame(640, 480);
  TBuildLog log;
  kv::TPieceBuildOptions options = Options(log);
  options.Difficulty = 1;
  random.Seed(5);
  kv::TPieces first;
  kv::BuildPieces(game.Library, game.Cut, game.Carver, options, first, random);
  kv::TJigsawArrayData saved = SavedStates(first);
  for (std::size_t p = 0; p < saved.size(); p += 3) saved[p].Joined = 1;

  for (const bool fromSaved : {false, true}) {
    SCOPED_TRACE(fromSaved ? "saved game" : "new game");
    options.Saved = fromSaved ? &saved : nullptr;
    kv::TPieces all, shown;
    random.Seed(5);
    options.OnlyShownRotation = false;
    kv::BuildPieces(game.Library, game.Cut, game.Carver, options, all, random);
    random.Seed(5);
    options.OnlyShownRotation = true;
    kv::BuildPieces(game.Library, game.Cut, game.Carver, options, shown, random);
    kv::TKVJigsawBoardRenderer renderer;
    renderer.ShadowGrey = options.ShadowGrey;
    TBitmap32 target(200, 200);
    for (std::size_t r = 0; r < all.size(); ++r)
      for (std::size_t c = 0; c < all[r].size(); ++c) {
        TPiece& eager = all[r][c];
        TPiece& lazy = shown[r][c];
        ASSERT_EQ(lazy.Rotation, eager.Rotation);
        for (int k = 0; k < 4; ++k) {
          EXPECT_EQ(lazy.HasImage(k), k == lazy.Rotation);
          EXPECT_FALSE(lazy.HasShadow(k));
        }
        EXPECT_EQ(lazy.OwedShadows, eager.Joined == 1 ? 0xF : 1 << eager.Rotation);
        const kv::TKVBoardPiece state = kv::BoardPieceState(lazy);
        kv::TKVPieceSprite sprite = kv::TakeSprite(lazy);
        for (int k = 0; k < 4; ++k) {
          EXPECT_EQ(kv::TKVJigsawBoardRenderer::Image(state, sprite, k), eager.Images[k]);
          if (!eager.HasShadow(k)) continue;
          kv::TKVBoardPiece turned = state;
          turned.Rotation = static_cast<uint8_t>(k);
          renderer.DrawShadow(kv::TKVPainter(target), turned, sprite, {0, 0});
          EXPECT_TRUE(
              std::equal(eager.Shadows[k].begin(), eager.Shadows[k].end(), sprite.Shadows[k].begin()));
        }
        EXPECT_EQ(sprite.OwedShadows, 0);
      }
  }
}
