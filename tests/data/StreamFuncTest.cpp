#include "core/uKVErrors.h"
#include "data/uKVStandardFunc.h"
#include "data/uKVStreamFunc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

#include <algorithm>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <thread>

using namespace kv;
using kvtest::Bytes;
using SF = TKVStreamFunc;

TEST(StreamFunc, IntegersAreLittleEndian) {
  TMemoryStream s;
  SF::WriteByte(0xAB, s);
  SF::WriteWord(-2, s);
  SF::WriteInteger(80303, s);
  SF::WriteCardinal(0xDEADBEEF, s);
  EXPECT_EQ(s.Bytes(),
            (std::vector<uint8_t>{0xAB, 0xFE, 0xFF, 0xAF, 0x39, 0x01, 0x00, 0xEF, 0xBE, 0xAD, 0xDE}));
  s.SetPosition(0);
  EXPECT_EQ(SF::ReadByte(s), 0xAB);
  EXPECT_EQ(SF::ReadWord(s), -2);
  EXPECT_EQ(SF::ReadInteger(s), 80303);
  EXPECT_EQ(SF::ReadCardinal(s), 0xDEADBEEFu);
  EXPECT_THROW(SF::ReadByte(s), EReadError);
}

TEST(StreamFunc, CountedStrings) {
  TMemoryStream s;
  SF::WriteString("", s);
  EXPECT_EQ(s.Bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));
  SF::WriteString("Ann", s);
  s.SetPosition(0);
  EXPECT_EQ(SF::ReadString(s), "");
  EXPECT_EQ(SF::ReadString(s), "Ann");

  for (int32_t stored : {0, -1, INT32_MIN}) {
    auto t = Bytes().i32(stored).u8(7).stream();
    EXPECT_EQ(SF::ReadString(t), "");
    EXPECT_EQ(t.Position(), 4) << stored;
  }
  // A length beyond the bytes left fails before anything is allocated.
  auto huge = Bytes().i32(INT32_MAX).chars("abc").stream();
  EXPECT_THROW(SF::ReadString(huge), EReadError);
}

TEST(StreamFunc, SizedBlocks) {
  TMemoryStream s;
  SF::WriteSizedStream(nullptr, s);
  EXPECT_EQ(s.Bytes(), (std::vector<uint8_t>{0, 0, 0, 0}));
  TMemoryStream dest(std::vector<uint8_t>{9, 9});
  s.SetPosition(0);
  SF::ReadSizedStream(dest, s);
  EXPECT_EQ(dest.Size(), 0);
  EXPECT_EQ(dest.Position(), 0);

  TMemoryStream source(std::vector<uint8_t>(25000, 0x5A));
  source.SetPosition(100); // the block always carries the whole source
  TMemoryStream block;
  SF::WriteSizedStream(&source, block);
  EXPECT_EQ(block.Size(), 25004);
  block.SetPosition(0);
  SF::ReadSizedStream(dest, block);
  EXPECT_EQ(dest.Bytes(), source.Bytes());
  EXPECT_EQ(dest.Position(), 0);

  for (int32_t bad : {-1, 5}) {
    auto t = Bytes().i32(bad).u8(1).stream();
    EXPECT_THROW(SF::ReadSizedStream(dest, t), EReadError) << bad;
  }
}

TEST(StreamFunc, CompressRoundTripAndGarbage) {
  std::vector<uint8_t> text;
  for (int i = 0; i < 100000; ++i) text.push_back(static_cast<uint8_t>(i % 251));
  TMemoryStream source(text), packed, unpacked;
  SF::CompressStream(source, packed);
  ASSERT_GT(packed.Size(), 2);
  EXPECT_EQ(packed.Bytes()[0], 0x78); // zlib header
  SF::DecompressStream(packed, unpacked);
  EXPECT_EQ(unpacked.Bytes(), text);
  EXPECT_EQ(unpacked.Position(), 0);

  TMemoryStream garbage(std::vector<uint8_t>{1, 2, 3, 4, 5}), out(std::vector<uint8_t>{1});
  SF::DecompressStream(garbage, out);
  EXPECT_EQ(out.Size(), 0);
  // A truncated zlib stream is no stream either.
  TMemoryStream cut(std::vector<uint8_t>(packed.Bytes().begin(), packed.Bytes().begin() + packed.Size() / 2));
  SF::DecompressStream(cut, out);
  EXPECT_EQ(out.Size(), 0);
}

// Input goes in slices of a megabyte and output room grows as needed: data that hardly shrinks (photos) and
// data that shrinks a thousandfold come out whole, also when the source is given back on the way, and a cut
// stream still comes out as nothing.
TEST(StreamFunc, LargeDataInflatesWholeInSlices) {
  std::vector<uint8_t> noise(3u << 20), zeros(5u << 20, 0);
  uint32_t state = 12345;
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  for (const std::vector<uint8_t>* plain : {&noise, &zeros}) {
    TMemoryStream packed;
    SF::CompressStream(TMemoryStream(*plain), packed);
    for (const bool discard : {false, true}) {
      std::vector<uint8_t> source = packed.Bytes();
      TMemoryStream out;
      SF::DecompressBuffer(source, out, discard);
      EXPECT_TRUE(out.Bytes() == *plain) << plain->size() << (discard ? " discarding" : "");
      std::vector<uint8_t> cut(packed.Bytes().begin(), packed.Bytes().end() - 100);
      SF::DecompressBuffer(cut, out, discard);
      EXPECT_EQ(out.Size(), 0);
    }
  }
}

namespace {

// Bytes whose value tells their offset, so that a read from the wrong place shows.
std::vector<uint8_t> Pattern(std::size_t size) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 251 ^ i / 251);
  return bytes;
}

std::vector<uint8_t> Packed(const std::vector<uint8_t>& plain) {
  TMemoryStream packed;
  SF::CompressStream(TMemoryStream(plain), packed);
  return packed.Bytes();
}

} // namespace

// The stream inflates only as far as it is read, skipped or asked about; short reads go through its window,
// long ones straight into the caller's buffer, and a step back reaches what was just read.
TEST(InflateStream, InflatesOnlyAsFarAsItIsRead) {
  const std::vector<uint8_t> plain = Pattern(12u << 20);
  const std::vector<uint8_t> packed = Packed(plain);
  {
    // A first read straight from the stream, before anything was inflated into its window.
    TInflateStream fresh(packed);
    uint8_t first = 0;
    EXPECT_EQ(fresh.Read(&first, 1), 1u);
    EXPECT_EQ(first, plain[0]);
  }
  TInflateStream stream(packed);
  uint8_t head[6];
  stream.ReadBuffer(head, sizeof head);
  EXPECT_TRUE(std::equal(head, head + 6, plain.begin()));
  EXPECT_LE(stream.TotalOut(), int64_t{1} << 20);
  stream.Seek(-4, TSeekOrigin::soCurrent);
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_EQ(SF::ReadCardinal(stream), plain[2] | plain[3] << 8 | plain[4] << 16 | uint32_t{plain[5]} << 24);

  stream.Skip(3u << 20);
  EXPECT_EQ(stream.Position(), 6 + (3 << 20));
  EXPECT_LE(stream.TotalOut(), (int64_t{3} << 20) + (int64_t{1} << 20));
  std::vector<uint8_t> block(2u << 20);
  stream.ReadBuffer(block.data(), block.size());
  EXPECT_TRUE(std::equal(block.begin(), block.end(), plain.begin() + 6 + (3 << 20)));
  stream.Seek(-static_cast<int64_t>(TInflateStream::KeepBehind), TSeekOrigin::soCurrent);
  EXPECT_EQ(SF::ReadByte(stream), plain[6 + (5u << 20) - TInflateStream::KeepBehind]);
  EXPECT_THROW(stream.Seek(-int64_t{1} << 20, TSeekOrigin::soCurrent), EReadError);

  const int64_t left = static_cast<int64_t>(plain.size()) - stream.Position();
  EXPECT_FALSE(stream.CanRead(left + 1));
  EXPECT_TRUE(stream.CanRead(left));
  EXPECT_TRUE(stream.Ended());
  EXPECT_EQ(stream.ReadBytes(left), std::vector<uint8_t>(plain.end() - left, plain.end()));
  EXPECT_THROW(stream.Skip(1), EReadError);
  EXPECT_TRUE(stream.Finish());
  EXPECT_THROW(stream.WriteBuffer(head, 1), EWriteError);
}

// Finishing looks a little past the content for the stream's end: a clean end or a long tail passes, a
// stream cut short or damaged near its end fails, and a long tail is never inflated.
TEST(InflateStream, FinishLooksOnlyALittlePastTheContent) {
  const std::vector<uint8_t> small = Pattern(1000), large = Pattern(8u << 20);
  struct Case {
    const char* what;
    std::vector<uint8_t> packed;
    bool passes;
  };
  std::vector<uint8_t> cut = Packed(small);
  cut.resize(cut.size() - 3);
  std::vector<uint8_t> damaged = Packed(small);
  damaged[damaged.size() - 1] ^= 0x55;
  const Case cases[] = {{"whole", Packed(small), true},
                        {"cut short", cut, false},
                        {"bad checksum", damaged, false},
                        {"long tail", Packed(large), true},
                        {"no zlib at all", {1, 2, 3, 4, 5, 6, 7, 8}, false}};
  for (const Case& c : cases) {
    TInflateStream stream(c.packed);
    stream.Read(std::vector<uint8_t>(100).data(), 100);
    EXPECT_EQ(stream.Finish(), c.passes) << c.what;
    EXPECT_LE(stream.TotalOut(), int64_t{1} << 20) << c.what;
  }
}

// Output beyond the limit reads as the end of the stream; a count that could never fit is refused before
// anything is inflated.
TEST(InflateStream, OutputStopsAtTheLimit) {
  const std::vector<uint8_t> zeros(4u << 20, 0);
  const std::vector<uint8_t> packed = Packed(zeros);
  constexpr int64_t Limit = int64_t{1} << 20;
  {
    TInflateStream stream(packed, false, Limit);
    EXPECT_FALSE(stream.CanRead(Limit + 1));
    EXPECT_THROW(stream.Skip(Limit + 1), EReadError);
    EXPECT_EQ(stream.TotalOut(), 0);
    EXPECT_TRUE(stream.MayHold(Limit));
  }
  for (const bool direct : {false, true}) {
    TInflateStream stream(packed, false, Limit);
    std::vector<uint8_t> out(static_cast<std::size_t>(Limit) + 4096);
    std::size_t got = 0;
    if (direct)
      got = stream.Read(out.data(), out.size());
    else
      while (const std::size_t n =
                 stream.Read(out.data() + got, std::min<std::size_t>(100, out.size() - got)))
        got += n;
    EXPECT_EQ(got, static_cast<std::size_t>(Limit)) << direct;
    EXPECT_LE(stream.TotalOut(), Limit + 1);
    EXPECT_FALSE(stream.Finish());
  }
  // The limit a package's data gets: a ratio above deflate's best, plus room for small streams.
  EXPECT_EQ(SF::InflateLimit(0), int64_t{4} << 20);
  EXPECT_EQ(SF::InflateLimit(1000), 1100000 + (int64_t{4} << 20));
  EXPECT_EQ(SF::InflateLimit(std::size_t{1} << 30), INT32_MAX);
  // Every honest stream stays under it, even one that shrank as far as deflate goes.
  TMemoryStream out;
  SF::DecompressBuffer(packed, out);
  EXPECT_EQ(out.Size(), static_cast<int64_t>(zeros.size()));
}

TEST(StreamFunc, Base64) {
  struct Case {
    std::vector<uint8_t> bytes;
    std::string text;
  };
  const Case cases[] = {{{}, ""},
                        {{'M'}, "TQ=="},
                        {{'M', 'a'}, "TWE="},
                        {{'M', 'a', 'n'}, "TWFu"},
                        {{0xFF, 0xFE, 0x00, 0x01}, "//4AAQ=="}};
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    s.SetPosition(1);
    EXPECT_EQ(SF::EncodeBase64(s), c.text);
    TMemoryStream d;
    EXPECT_TRUE(SF::DecodeBase64(c.text, d)) << c.text;
    EXPECT_EQ(d.Bytes(), c.bytes) << c.text;
  }
  TMemoryStream d;
  EXPECT_FALSE(SF::DecodeBase64("TQ= =", d));
  EXPECT_FALSE(SF::DecodeBase64("TWFu\nTQ==", d));
  EXPECT_EQ(d.Bytes(), (std::vector<uint8_t>{'M', 'a', 'n'})); // what came before the fault stays
  EXPECT_FALSE(SF::DecodeBase64("TWFuT", d));                  // one leftover character
}

TEST(StreamFunc, ExtensionCountSkipsForwardOnly) {
  auto s = Bytes().i32(3).raw({1, 2, 3}).u16(7850).stream();
  SF::SkipExtension(s);
  EXPECT_EQ(SF::ReadTag(s), 7850);
  for (int32_t bad : {-1, 100}) {
    auto t = Bytes().i32(bad).raw({1, 2}).stream();
    EXPECT_THROW(SF::SkipExtension(t), EReadError) << bad;
  }
}

TEST(StandardFunc, TextHelpers) {
  EXPECT_EQ(TKVStandardFunc::LowerText("QUIT=\xC9T\xC9"), "quit=\xE9t\xE9");
  const std::pair<const char*, int32_t> ints[] = {{"42", 42}, {"-7", -7}, {"+5", 5},         {"", 0},
                                                  {"12a", 0}, {" 1", 0},  {"99999999999", 0}};
  for (const auto& [text, value] : ints) EXPECT_EQ(TKVStandardFunc::TextToIntOrZero(text), value) << text;
}

TEST(RandomSource, DrawsBelowTheLimitAndRepeatsASeed) {
  TRandomSource random;
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = random.RandomBelow(3);
    ASSERT_TRUE(v >= 0 && v < 3);
  }
  for (int32_t limit : {0, -1, INT32_MIN}) EXPECT_EQ(random.RandomBelow(limit), 0) << limit;
  TRandomSource first(42), second(7);
  second.Seed(42);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(first.RandomBelow(INT32_MAX), second.RandomBelow(INT32_MAX)) << i;
}

TEST(Streams, MemoryStreamsAreEqualByContentNotPosition) {
  TMemoryStream a(std::vector<uint8_t>{1, 2, 3});
  TMemoryStream b(std::vector<uint8_t>{1, 2, 3});
  b.Seek(0, TSeekOrigin::soEnd);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == TMemoryStream(std::vector<uint8_t>{1, 2}));
  EXPECT_FALSE(a == TMemoryStream(std::vector<uint8_t>{1, 2, 4}));
  EXPECT_TRUE(TMemoryStream() == TMemoryStream(std::vector<uint8_t>{}));
}

TEST(Streams, FileStreamErrorsAndAtomicWrite) {
  kvtest::TempDir dir;
  EXPECT_THROW(TFileStream(dir.file("missing"), TFileMode::fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.file("no/such/folder/x"), TFileMode::fmCreate), EFCreateError);
  const std::string name = dir.file("table.dat");
  WriteFileAtomically(name, std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(kvtest::ReadFileBytes(name), (std::vector<uint8_t>{1, 2, 3}));
  WriteFileAtomically(name, std::vector<uint8_t>{4});
  EXPECT_EQ(kvtest::ReadFileBytes(name), (std::vector<uint8_t>{4}));
  // Only the file itself is left in the folder: no temporary files.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
  EXPECT_THROW(WriteFileAtomically(dir.file("no/such/x"), std::vector<uint8_t>{1}), EFCreateError);
}

// What the output name is decides how it is written: a link is written through, a file keeps its mode and
// its other names, a pipe or device takes the bytes as they come, and a failure names the file and the cause.
TEST(Streams, AtomicWriteRespectsWhatTheNameIs) {
  namespace fs = std::filesystem;
  kvtest::TempDir dir;
  const std::vector<uint8_t> bytes{7, 8, 9};
  auto mode = [](const std::string& name) { return fs::status(name).permissions() & fs::perms::all; };

  // A symbolic link stays a link; its target gets the bytes.
  const std::string target = dir.file("target.dat"), link = dir.file("link.dat");
  kvtest::WriteFileBytes(target, {1});
  fs::create_symlink(target, link);
  WriteFileAtomically(link, bytes);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(kvtest::ReadFileBytes(target), bytes);
  // A link whose target is not there yet creates it, through a chain of relative links.
  fs::create_directory(dir.file("sub"));
  fs::create_symlink("sub/next.dat", dir.file("chain.dat"));
  fs::create_symlink("new.dat", dir.file("sub/next.dat"));
  WriteFileAtomically(dir.file("chain.dat"), bytes);
  EXPECT_TRUE(fs::is_symlink(dir.file("chain.dat")));
  EXPECT_TRUE(fs::is_symlink(dir.file("sub/next.dat")));
  EXPECT_EQ(kvtest::ReadFileBytes(dir.file("sub/new.dat")), bytes);
  // A loop of links is an error, not a hang.
  fs::create_symlink("loop2.dat", dir.file("loop1.dat"));
  fs::create_symlink("loop1.dat", dir.file("loop2.dat"));
  EXPECT_THROW(WriteFileAtomically(dir.file("loop1.dat"), bytes), EStreamError);

  // A private file stays private; an executable one stays executable.
  const std::string secret = dir.file("secret.dat");
  kvtest::WriteFileBytes(secret, {1});
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically(secret, bytes);
  EXPECT_EQ(mode(secret), fs::perms::owner_read | fs::perms::owner_write);

  // Hard links keep seeing one file.
  const std::string first = dir.file("first.dat"), second = dir.file("second.dat");
  kvtest::WriteFileBytes(first, {1});
  fs::create_hard_link(first, second);
  WriteFileAtomically(first, bytes);
  EXPECT_EQ(kvtest::ReadFileBytes(second), bytes);
  EXPECT_EQ(fs::hard_link_count(first), 2u);
  // Written in place, a shorter content leaves nothing of the longer one behind it.
  WriteFileAtomically(first, std::vector<uint8_t>{5});
  EXPECT_EQ(kvtest::ReadFileBytes(second), std::vector<uint8_t>{5});
  WriteFileAtomically(first, bytes);

  // What a write cut short left behind goes at the next start; a fresh one (another writer's) and other
  // files stay.
  const std::string table = dir.file("table.dat");
  kvtest::WriteFileBytes(dir.file(".table.dat.a1B2c3"), {1});
  kvtest::WriteFileBytes(dir.file(".table.dat.x9Y8z7"), {2});
  kvtest::WriteFileBytes(dir.file(".table.dat.toolong1"), {3});
  kvtest::WriteFileBytes(dir.file("table.dat.a1B2c3"), {4});
  fs::last_write_time(dir.file(".table.dat.a1B2c3"), fs::file_time_type::clock::now() - std::chrono::hours(1));
  EXPECT_EQ(RemoveStaleTemporaries(table), 1);
  EXPECT_FALSE(fs::exists(dir.file(".table.dat.a1B2c3")));
  EXPECT_TRUE(fs::exists(dir.file(".table.dat.x9Y8z7")));
  EXPECT_TRUE(fs::exists(dir.file(".table.dat.toolong1")));
  EXPECT_TRUE(fs::exists(dir.file("table.dat.a1B2c3")));
  EXPECT_EQ(RemoveStaleTemporaries(dir.file("no/such/folder/x")), 0);

  // A pipe is written, not replaced by a file.
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = kvtest::ReadFileBytes(fifo); });
  WriteFileAtomically(fifo, bytes);
  reader.join();
  EXPECT_EQ(received, bytes);
  EXPECT_TRUE(fs::is_fifo(fifo));

  // An open descriptor by its name (what "-o -" and "-o /dev/stdout" come to) is written as it stands: a file
  // opened to append keeps what it had, an anonymous pipe gets the bytes.
  const std::string log = dir.file("log.txt");
  kvtest::WriteFileBytes(log, {1, 2});
  const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(appending, 0);
  struct stat before {};
  ASSERT_EQ(::stat(log.c_str(), &before), 0);
  WriteFileAtomically("/dev/fd/" + std::to_string(appending), bytes);
  WriteFileAtomically("/proc/self/fd/" + std::to_string(appending), bytes);
  ::close(appending);
  EXPECT_EQ(kvtest::ReadFileBytes(log), (std::vector<uint8_t>{1, 2, 7, 8, 9, 7, 8, 9}));
  struct stat after {};
  ASSERT_EQ(::stat(log.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  WriteFileAtomically("/proc/self/fd/" + std::to_string(ends[1]), bytes);
  ::close(ends[1]);
  std::vector<uint8_t> piped(8);
  piped.resize(static_cast<std::size_t>(std::max<ssize_t>(0, ::read(ends[0], piped.data(), piped.size()))));
  ::close(ends[0]);
  EXPECT_EQ(piped, bytes);

  // A full device says so, and stays the device.
  try {
    WriteFileAtomically("/dev/full", bytes);
    ADD_FAILURE() << "no error from /dev/full";
  } catch (const EWriteError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot write file \"/dev/full\". No space left on device");
  }
  EXPECT_TRUE(fs::is_character_file("/dev/full"));

  // A folder is no file to write.
  try {
    WriteFileAtomically(dir.path().string(), bytes);
    ADD_FAILURE() << "no error for a folder";
  } catch (const EWriteError& error) {
    EXPECT_NE(std::string(error.what()).find("Is a directory"), std::string::npos);
  }

  // A file the user may not write is left alone (root may write any file).
  if (geteuid() != 0) {
    const std::string locked = dir.file("locked.dat");
    kvtest::WriteFileBytes(locked, {1});
    fs::permissions(locked, fs::perms::owner_read);
    EXPECT_THROW(WriteFileAtomically(locked, bytes), EFCreateError);
    EXPECT_EQ(kvtest::ReadFileBytes(locked), std::vector<uint8_t>{1});
  }
}
