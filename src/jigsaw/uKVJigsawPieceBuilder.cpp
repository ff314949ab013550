#include "jigsaw/uKVJigsawPieceBuilder.h"

#include "core/uKVErrors.h"
#include "core/uScopeGuard.h"
#include "gui/uBlend.h"
#include "jigsaw/uRLE.h"
#include "jigsaw/uRoundHalfEven.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif

namespace kv {

namespace {

// What drawing f onto a clear pixel with dmBlend gives: colour and alpha scaled by f's alpha.
inline TColor32 OverClear(TColor32 f) {
  return BlendPixel(f, 0, f >> 24);
}

// The whole image over a clear surface, in place. Piece images are mostly opaque inside and clear around, so
// groups of four pixels that are all one or the other are kept or cleared at once.
void CompositeOverClear(TColor32* pixels, std::size_t count) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i opaque = _mm_set1_epi32(255);
  const __m128i zero = _mm_setzero_si128();
  for (; i + 4 <= count; i += 4) {
    __m128i* at = reinterpret_cast<__m128i*>(pixels + i);
    const __m128i v = _mm_loadu_si128(at);
    const __m128i alpha = _mm_srli_epi32(v, 24);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, opaque)) == 0xFFFF) continue;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, zero)) == 0xFFFF) {
      // Clear pixels keep no colour bits; most are 0 already and need no store.
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, zero)) != 0xFFFF) _mm_storeu_si128(at, zero);
      continue;
    }
    for (std::size_t k = i; k < i + 4; ++k) pixels[k] = OverClear(pixels[k]);
  }
#endif
  for (; i < count; ++i) pixels[i] = OverClear(pixels[i]);
}

// What coding a piece needs besides the piece, kept by each thread that codes pieces.
struct TBuildScratch {
  TBitmap32 Bitmap; // the piece bitmap being coded
  std::vector<TColor32> Turned;
  TRLE::TRuns Runs[2];
};

TBuildScratch& ThreadScratch() {
  thread_local TBuildScratch scratch;
  return scratch;
}

// Codes the rotations asked for (bit k = rotation k) and makes the shadows asked for. The composite is made
// in the bitmap itself, which is scratch.
void CodePiece(TBitmap32& bitmap, bool composite, unsigned rotations, unsigned shadows, uint8_t grey,
               TPiece& piece, TBuildScratch& scratch) {
  const int32_t w = bitmap.Width(), h = bitmap.Height();
  const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
  if (composite) CompositeOverClear(bitmap.Bits(), count);
  const TColor32* pixels = bitmap.Bits();
  scratch.Turned.resize(count);
  piece.Width = w;
  piece.Height = h;
  piece.ShadowPixels = static_cast<int32_t>(count);
  const std::span<const uint32_t> upright(pixels, count);
  const std::span<const uint32_t> quarter(scratch.Turned.data(), count);
  // Turned by 180 degrees an image reads backwards, and 270 is 90 read backwards: one turn and one search
  // for runs serve two rotations.
  bool found[2] = {false, false};
  for (int k = 0; k < 4; ++k) {
    if ((rotations & 1u << k) == 0) {
      piece.Images[k].clear();
      piece.ImageSizes[k] = 0;
      piece.Shadows[k].clear();
      continue;
    }
    if ((k & 1) != 0 && !found[1]) RotateQuarter(pixels, w, h, scratch.Turned.data());
    const std::span<const uint32_t> source = (k & 1) != 0 ? quarter : upright;
    TRLE::TRuns& runs = scratch.Runs[k & 1];
    if (!found[k & 1]) {
      TRLE::FindRuns(source, runs);
      found[k & 1] = true;
    }
    // Sized exactly, then coded in place; the storage of a previous game's piece is reused.
    TCodedImage& image = piece.Images[k];
    image.clear(); // a larger size then keeps nothing of the old content
    image.resize(runs.CodedLength);
    TRLE::WriteRuns(source, runs, k >= 2, image.data());
    piece.ImageSizes[k] = static_cast<int32_t>(runs.CodedLength);
    if ((shadows & 1u << k) != 0) {
      // The 5 x 5 mean looks the same from both ends: the shadow of the image read backwards is the
      // shadow of the image, read backwards.
      TShadowImage& shadow = piece.Shadows[k];
      shadow.clear();
      shadow.resize(count);
      MakeShadow(source.data(), shadow.data(), piece.RotatedWidth(k & 1), piece.RotatedHeight(k & 1), grey,
                 AverageTable());
      if (k >= 2) ReverseWords(shadow.data(), count);
    } else {
      piece.Shadows[k].clear();
    }
  }
}

std::string Translated(const TPieceBuildOptions& options, const std::string& text) {
  return options.Translate ? options.Translate(text) : text;
}

// Runs the finish hook. A failing hook must not replace the build's own error.
void ReportFinish(const TPieceBuildOptions& options) noexcept {
  if (!options.OnFinish) return;
  try {
    options.OnFinish(Translated(options, "Finish"));
  } catch (...) {
  }
}

// The size of the bitmap BuildPieceBitmap makes for an item: the cell and half of each template beyond it.
// The scatter draws need it before any bitmap is built.
std::pair<int32_t, int32_t> PieceBitmapSize(const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut,
                                            const TKVPuzzlePieceItem& item) {
  const TKVLayout& cell = library.Layout(cut.LayoutIndex);
  auto half = [&](int32_t edge, bool vertical) {
    if (edge == -1) return 0;
    const TKVPieceTemplate& t = library.Template(edge);
    return (vertical ? t.Width : t.Height) / 2;
  };
  return {cell.CellWidth + half(item.LeftEdge, true) + half(item.RightEdge, true),
          cell.CellHeight + half(item.TopEdge, false) + half(item.BottomEdge, false)};
}

// Builds, codes and shadows one piece whose records are set. Reads the library, the cut and the carver only,
// so pieces can be coded side by side.
void CodeItem(const TKVJigsawPieceLibrary& library, const TKVJigsawCut& cut, const TKVJigsawCarver& carver,
              const TPieceBuildOptions& options, const TKVPuzzlePieceItem& item, TPiece& piece,
              TBuildScratch& scratch) {
  cut.BuildPieceBitmap(library, carver, cut.ScaledPicture, scratch.Bitmap, item.X, item.Y, item.TopEdge,
                       item.BottomEdge, item.RightEdge, item.LeftEdge);
  // A saved piece turned while rotation is off still gets the image it shows.
  const unsigned rotations = options.NoRotation ? 1u | 1u << piece.Rotation : 0xFu;
  const unsigned shadows = piece.Joined == 1 ? rotations : 1u << piece.Rotation;
  piece.OwedShadows = options.OnlyShownRotation ? static_cast<uint8_t>(shadows) : 0;
  CodePiece(scratch.Bitmap, options.Composite, options.OnlyShownRotation ? 1u << piece.Rotation : rotations,
            options.OnlyShownRotation ? 0u : shadows, options.ShadowGrey, piece, scratch);
  auto size = [&](int32_t edge, bool vertical) -> uint8_t {
    if (edge <= 0 || edge > library.TemplateCount()) return 0;
    const TKVPieceTemplate& t = library.Template(edge - 1);
    return static_cast<uint8_t>(vertical ? t.Width : t.Height);
  };
  piece.TopSize = size(piece.TopEdge, false);
  piece.RightSize = size(piece.RightEdge, true);
  piece.BottomSize = size(piece.BottomEdge, false);
  piece.LeftSize = size(piece.LeftEdge, true);
}

// Threads kept for the whole run that help the calling thread code pieces. One build at a time uses them;
// the threads keep their scratch storage from one build to the next.
class TCoderPool {
public:
  static TCoderPool& Instance() {
    static TCoderPool pool;
    return pool;
  }
  TCoderPool() = default;
  TCoderPool(const TCoderPool&) = delete;
  TCoderPool& operator=(const TCoderPool&) = delete;
  ~TCoderPool() {
    {
      std::lock_guard<std::mutex> guard(Lock);
      Quit = true;
    }
    Wake.notify_all();
  }

  // Held by the build that uses the pool.
  std::mutex Busy;

  // Has up to `helpers` pool threads call work() until it returns false, and returns how many do; the pool
  // grows to the number asked for. Wait() must follow a start of one or more.
  unsigned Start(const std::function<bool()>& work, unsigned helpers) {
    std::lock_guard<std::mutex> guard(Lock);
    while (Threads.size() < helpers) {
      try {
        const auto index = static_cast<unsigned>(Threads.size());
        Threads.emplace_back([this, index] { Loop(index); });
      } catch (const std::system_error&) {
        break; // fewer threads do the same work
      }
    }
    Wanted = std::min(helpers, static_cast<unsigned>(Threads.size()));
    if (Wanted == 0) return 0;
    Work = &work;
    Running = Wanted;
    ++Generation;
    Wake.notify_all();
    return Wanted;
  }

  // Returns once every helper of the job has left work().
  void Wait() {
    std::unique_lock<std::mutex> guard(Lock);
    Idle.wait(guard, [this] { return Running == 0; });
    Work = nullptr;
  }

private:
  void Loop(unsigned index) {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> guard(Lock);
    for (;;) {
      Wake.wait(guard, [&] { return Quit || Generation != seen; });
      if (Quit) return;
      seen = Generation;
      if (index >= Wanted) continue;
      const std::function<bool()>& work = *Work;
      guard.unlock();
      while (work()) {
      }
      guard.lock();
      if (--Running == 0) Idle.notify_all();
    }
  }

  std::mutex Lock;
  std::condition_variable Wake, Idle;
  const std::function<bool()>* Work = nullptr; // the job in progress
  uint64_t Generation = 0;                     // counts the jobs
  unsigned Wanted = 0;                         // threads 0 .. Wanted - 1 take part in the job
  unsigned Running = 0;                        // of those, the ones still in it
  bool Quit = false;
  // Last: they are joined before the rest goes.
  std::vector<std::jthread> Threads;
};

// Runs code(i, scratch) for i = 0 .. count - 1 on up to `threads` threads, the calling one among them, and
// report(i) on the calling thread only, in the order i = 0, 1, ... as each task and all before it are done.
// The first error in task order (of a task or of a report) ends the run and is raised once the tasks still
// running have ended; no task starts after a failure.
template <class Code, class Report>
void RunInOrder(int32_t count, unsigned threads, const Code& code, const Report& report) {
  std::atomic<int32_t> next{0};
  std::atomic<bool> stop{false};
  std::mutex lock;
  std::condition_variable ready;
  std::vector<uint8_t> finished(static_cast<std::size_t>(count), 0); // guarded by lock
  std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));

  // Takes the next task; false when there is none left to take.
  const std::function<bool()> work = [&] {
    if (stop.load(std::memory_order_relaxed)) return false;
    const int32_t i = next.fetch_add(1, std::memory_order_relaxed);
    if (i >= count) return false;
    std::exception_ptr error;
    try {
      code(i, ThreadScratch());
    } catch (...) {
      error = std::current_exception();
      stop = true; // every task before this one is taken already
    }
    {
      std::lock_guard<std::mutex> guard(lock);
      errors[static_cast<std::size_t>(i)] = std::move(error);
      finished[static_cast<std::size_t>(i)] = 1;
    }
    ready.notify_one();
    return true;
  };

  // Declared after what the helpers share: however the run ends, they are told to stop and waited for
  // before that goes.
  struct THelpers {
    std::atomic<bool>& Stop;
    TCoderPool* Pool = nullptr;
    std::unique_lock<std::mutex> Busy;
    ~THelpers() {
      Stop = true;
      if (Pool) Pool->Wait();
    }
  } helpers{stop, nullptr, {}};
  const unsigned wanted = std::min<unsigned>(threads, static_cast<unsigned>(std::max(count, 1))) - 1;
  if (wanted > 0) {
    TCoderPool& pool = TCoderPool::Instance();
    // A build while another one holds the pool runs on its own thread.
    helpers.Busy = std::unique_lock<std::mutex>(pool.Busy, std::try_to_lock);
    if (helpers.Busy.owns_lock() && pool.Start(work, wanted) > 0) helpers.Pool = &pool;
  }

  int32_t reported = 0;
  while (reported < count) {
    if (!work()) {
      // Nothing left to take: the next task in order is running on a helper (a task after a failed one is
      // never waited for, as the failed one is reported first).
      std::unique_lock<std::mutex> guard(lock);
      ready.wait(guard, [&] { return finished[static_cast<std::size_t>(reported)] != 0; });
    }
    for (;;) {
      std::exception_ptr error;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (reported == count || finished[static_cast<std::size_t>(reported)] == 0) break;
        error = errors[static_cast<std::size_t>(reported)];
      }
      if (error) std::rethrow_exception(error);
      report(reported);
      ++reported;
    }
  }
}

} // namespace

int ProgressPercent(int32_t done, int32_t total) {
  if (total <= 0) return 0;
  return static_cast<int>(RoundDiv(static_cast<int64_t>(done) * 100, total));
}

namespace {

// A piece of a saved game: its record as saved, and the cut's item rebuilt from it.
void RestorePiece(TPiece& piece, const TJigsawPieceState& saved, TKVJigsawCut& cut) {
  ApplyPieceState(piece, saved);
  piece.Rotation &= 3;
  piece.StartRotation &= 3;
  // A saved game is a file from anywhere: places and sizes far beyond any board are brought within reach,
  // so that the board's sums of places and sizes stay inside the integer range.
  constexpr int32_t kFarthest = 1 << 24, kLargest = 1 << 16;
  for (int32_t* place : {&piece.X, &piece.Y, &piece.CorrectX, &piece.CorrectY, &piece.StartX, &piece.StartY})
    *place = std::clamp(*place, -kFarthest, kFarthest);
  piece.Width = std::clamp(piece.Width, 0, kLargest);
  piece.Height = std::clamp(piece.Height, 0, kLargest);
  TKVPuzzlePieceItem item;
  item.TopEdge = piece.TopEdge - 1;
  item.BottomEdge = piece.BottomEdge - 1;
  item.RightEdge = piece.RightEdge - 1;
  item.LeftEdge = piece.LeftEdge - 1;
  item.X = piece.CorrectX;
  item.Y = piece.CorrectY;
  cut.PieceItems.push_back(item);
}

// A piece of a new game: its place in the picture from the cut, a random turn and a random place in the
// playing area (the draws in this order, piece after piece).
void ScatterPiece(TPiece& piece, const TKVPuzzlePieceItem& item, const TKVJigsawPieceLibrary& library,
                  const TKVJigsawCut& cut, const TPieceBuildOptions& options, TRandomSource& random) {
  const auto [width, height] = PieceBitmapSize(library, cut, item);
  piece.Rotation = options.NoRotation ? 0 : static_cast<uint8_t>(random.RandomBelow(4));
  piece.StartRotation = piece.Rotation;
  piece.Joined = 0;
  piece.X = random.RandomBelow(options.AreaWidth - width / 2);
  piece.Y = random.RandomBelow(options.AreaHeight - height / 2);
  piece.CorrectX = item.X;
  piece.CorrectY = item.Y;
  piece.StartX = piece.X;
  piece.StartY = piece.Y;
  piece.TopEdge = item.TopEdge + 1;
  piece.BottomEdge = item.BottomEdge + 1;
  piece.RightEdge = item.RightEdge + 1;
  piece.LeftEdge = item.LeftEdge + 1;
}

} // namespace

void BuildPieces(const TKVJigsawPieceLibrary& library, TKVJigsawCut& cut, TKVJigsawCarver& carver,
                 const TPieceBuildOptions& options, TPieces& pieces, TRandomSource& random) {
  if (cut.Picture.Width() <= 0) throw Exception("Bitmap not spesified");
  // The pieces of the previous game lend their storage to the new ones.
  TPieces previous = std::move(pieces);
  pieces.clear();
  if (options.OnStatus) options.OnStatus(Translated(options, "Creating pieces"));
  // The finish is reported however the build ends.
  const TScopeExit finish([&options] { ReportFinish(options); });

  const unsigned threads =
      options.Threads != 0 ? options.Threads : std::max(1u, std::thread::hardware_concurrency());
  // The layout search replaces the preliminary picture at once: no need to scale it.
  cut.SetDifficulty(library, options.Difficulty, false);
  cut.ChooseLayout(library, [threads](int32_t count, const std::function<void(int32_t)>& band) {
    RunInOrder(
        count, threads, [&](int32_t i, TBuildScratch&) { band(i); }, [](int32_t) {});
  });
  carver.BevelLevel = options.BevelLevel;

  const int32_t cols = cut.Cols(library), rows = cut.Rows(library);
  const int32_t total = cols * rows;
  if (options.Saved) {
    // Every record of the file becomes one piece: a file cut with another library cannot be played.
    if (options.Saved->size() != static_cast<std::size_t>(total))
      throw Exception("The saved game does not fit the pieces of this picture.");
    cut.PieceItems.clear();
  } else {
    // Each bitmap is built when its piece is coded, into a reused surface.
    cut.AssignEdges(library, nullptr, random);
    if (cut.PieceItems.size() != static_cast<std::size_t>(total))
      throw Exception("The piece library could not cut this picture.");
  }

  // The records first, with every random draw in piece order: the pieces then no longer depend on each
  // other, and any number of threads codes the same game.
  std::vector<TPiece*> order;
  order.reserve(static_cast<std::size_t>(total));
  pieces.resize(static_cast<std::size_t>(rows));
  int32_t p = 0;
  for (int32_t row = 0; row < rows; ++row) {
    auto& line = pieces[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(row) < previous.size())
      line = std::move(previous[static_cast<std::size_t>(row)]);
    line.resize(static_cast<std::size_t>(cols));
    for (int32_t col = 0; col < cols; ++col, ++p) {
      TPiece& piece = line[static_cast<std::size_t>(col)];
      TPiece fresh;
      fresh.Images = std::move(piece.Images);
      fresh.Shadows = std::move(piece.Shadows);
      piece = std::move(fresh);
      piece.Row = row;
      piece.Column = col;
      order.push_back(&piece);
      if (options.Saved)
        RestorePiece(piece, (*options.Saved)[static_cast<std::size_t>(p)], cut);
      else
        ScatterPiece(piece, cut.Piece(p), library, cut, options, random);
    }
  }

  const std::string of = Translated(options, "of");
  const TKVJigsawCut& built = cut;
  const TKVJigsawCarver& carving = carver;
  RunInOrder(
      total, threads,
      [&](int32_t i, TBuildScratch& scratch) {
        CodeItem(library, built, carving, options, built.Piece(i), *order[static_cast<std::size_t>(i)],
                 scratch);
      },
      [&](int32_t i) {
        const int32_t n = i + 1;
        if (options.OnProgress)
          options.OnProgress(std::to_string(n) + " " + of + " " + std::to_string(total),
                             ProgressPercent(n, total));
        if (options.OnPieceDone) options.OnPieceDone(n, total);
      });
}

} // namespace kv
