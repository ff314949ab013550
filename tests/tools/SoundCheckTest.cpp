// Sound files are taken only when their bytes are a sound of the format their name claims: real files and
// the smallest well-formed ones pass, renamed text, random bytes, bare headers and files cut short do not.
#include "SoundCheck.h"
#include "SoundFixtures.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

using namespace kvtools;
using kvtest::Bytes;
using kvtest::WavLayout;

namespace {

using Check = std::string (*)(std::span<const uint8_t>);

struct Case {
  const char* What;
  std::vector<uint8_t> File;
  std::string Problem; // empty: the file passes; else a part of the reason given
};

void ExpectCases(Check check, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const std::string problem = check(c.File);
    if (c.Problem.empty())
      EXPECT_EQ(problem, "") << c.What;
    else
      EXPECT_NE(problem.find(c.Problem), std::string::npos) << c.What << ": " << problem;
  }
}

std::vector<uint8_t> Text(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& bytes, std::size_t size) {
  return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

std::vector<uint8_t> With(std::vector<uint8_t> bytes, std::size_t at, std::initializer_list<uint8_t> values) {
  std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

std::vector<uint8_t> Wav(void (*change)(WavLayout&)) {
  WavLayout layout;
  change(layout);
  return kvtest::MakeWav(layout);
}

const Check kChecks[] = {WavProblem, MidiProblem, Mp3Problem, WmaProblem};

} // namespace

TEST(SoundCheck, TheDemoGamesSoundsPass) {
  const std::filesystem::path folder =
      std::filesystem::path(JIGSAW_SOURCE_DIR) / "assets" / "demo" / "sounds";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::vector<uint8_t> bytes = kvtest::ReadFileBytes(entry.path().string());
    const std::string extension = entry.path().extension().string();
    EXPECT_EQ(extension == ".wav" ? WavProblem(bytes) : MidiProblem(bytes), "") << entry.path();
  }
}

TEST(SoundCheck, NoFormatTakesTextRandomBytesOrNothing) {
  const std::vector<uint8_t> inputs[] = {{},
                                         Text("This is not a sound at all, only a text file.\n"),
                                         RandomBytes(4096, 1),
                                         RandomBytes(200000, 2),
                                         std::vector<uint8_t>(5000, 0xFF),
                                         std::vector<uint8_t>(5000, 0)};
  for (const Check check : kChecks)
    for (const auto& input : inputs) EXPECT_NE(check(input), "") << input.size();
}

TEST(SoundCheck, Wav) {
  ExpectCases(
      WavProblem,
      {
          {"8-bit PCM mono", kvtest::MakeWav({}), ""},
          {"16-bit PCM stereo", Wav([](WavLayout& w) { w.Channels = 2, w.Bits = 16, w.Align = 4; }), ""},
          {"24-bit PCM", Wav([](WavLayout& w) { w.Bits = 24, w.Align = 3; }), ""},
          {"32-bit IEEE float", Wav([](WavLayout& w) { w.Tag = 3, w.Bits = 32, w.Align = 4; }), ""},
          {"64-bit IEEE float", Wav([](WavLayout& w) { w.Tag = 3, w.Bits = 64, w.Align = 8; }), ""},
          {"A-law", Wav([](WavLayout& w) { w.Tag = 6; }), ""},
          {"mu-law", Wav([](WavLayout& w) { w.Tag = 7; }), ""},
          {"IMA ADPCM", Wav([](WavLayout& w) { w.Tag = 0x11, w.Bits = 4, w.Align = 256, w.FmtLength = 20; }),
           ""},
          {"Microsoft ADPCM", Wav([](WavLayout& w) { w.Tag = 2, w.Bits = 4, w.Align = 256, w.FmtLength = 50; }),
           ""},
          {"extensible PCM",
           Wav([](WavLayout& w) { w.Tag = 0xFFFE, w.Bits = 16, w.Align = 2, w.FmtLength = 40; }), ""},
          {"an odd-sized data chunk and its pad byte", Wav([](WavLayout& w) { w.DataSize = 7; }), ""},
          {"8 channels", Wav([](WavLayout& w) { w.Channels = 8, w.Align = 8; }), ""},
          {"a list chunk before the data",
           [] {
             std::vector<uint8_t> wav = kvtest::MakeWav({});
             const std::vector<uint8_t> list = Bytes().chars("LIST").u32(5).chars("INFOx").u8(0).data();
             wav.insert(wav.begin() + 36, list.begin(), list.end());
             return With(wav, 4, {static_cast<uint8_t>(wav.size() - 8)});
           }(),
           ""},
          {"a streamed RIFF size", With(kvtest::MakeWav({}), 4, {0xFF, 0xFF, 0xFF, 0xFF}), ""},
          {"a RIFF size of 0", With(kvtest::MakeWav({}), 4, {0, 0, 0, 0}), ""},
          {"a RIFF size that counts its own header", With(kvtest::MakeWav({}), 4, {60}), ""},
          {"a streamed data size", With(kvtest::MakeWav({}), 40, {0xFF, 0xFF, 0xFF, 0xFF}), ""},
          {"bytes after the RIFF file", Join(kvtest::MakeWav({}), Text("junk")), ""},

          {"the 12-byte header alone", Text(std::string("RIFF\x04\0\0\0WAVE", 12)), "no \"fmt \" chunk"},
          {"a RIFF size far beyond the file", Text(std::string("RIFF\xFF\xFF\0\0WAVE", 12)),
           "cut short: the RIFF file at byte 0 needs 65543 bytes, the file has 12"},
          {"a RIFF size too small for chunks", With(kvtest::MakeWav({}), 4, {3}), "leaves no room"},
          {"a RIFF file of another kind", With(kvtest::MakeWav({}), 8, {'A', 'V', 'I', ' '}),
           "does not begin with \"RIFF\" and \"WAVE\""},
          {"a short fmt chunk", Wav([](WavLayout& w) { w.FmtLength = 14; }),
           "the \"fmt \" chunk is 14 bytes, fewer than 16"},
          {"no channels", Wav([](WavLayout& w) { w.Channels = 0; }), "0 channels (1 to 8 play)"},
          {"9 channels", Wav([](WavLayout& w) { w.Channels = 9, w.Align = 9; }), "9 channels"},
          {"a sample rate of 0", Wav([](WavLayout& w) { w.Rate = 0; }), "a sample rate of 0 Hz"},
          {"12-bit PCM", Wav([](WavLayout& w) { w.Bits = 12, w.Align = 2; }), "12-bit PCM samples"},
          {"0-bit PCM", Wav([](WavLayout& w) { w.Bits = 0; }), "0-bit PCM samples"},
          {"16-bit float", Wav([](WavLayout& w) { w.Tag = 3, w.Bits = 16, w.Align = 2; }),
           "16-bit IEEE float samples"},
          {"blocks too small for the samples",
           Wav([](WavLayout& w) { w.Channels = 2, w.Bits = 16, w.Align = 2; }), "a block of 2 bytes"},
          {"ADPCM of 8 bits", Wav([](WavLayout& w) { w.Tag = 0x11, w.Bits = 8, w.Align = 256; }),
           "8-bit ADPCM samples"},
          {"ADPCM blocks of 0 bytes", Wav([](WavLayout& w) { w.Tag = 2, w.Bits = 4, w.Align = 0; }),
           "ADPCM blocks of 0 bytes"},
          {"MPEG audio in a WAV", Wav([](WavLayout& w) { w.Tag = 0x55; }), "format tag 85"},
          {"extensible of another sub-format", Wav([](WavLayout& w) {
             w.Tag = 0xFFFE, w.Bits = 16, w.Align = 2, w.FmtLength = 40, w.SubFormat = 2;
           }),
           "sub-format 2"},
          {"a short extensible fmt chunk", Wav([](WavLayout& w) { w.Tag = 0xFFFE, w.FmtLength = 18; }),
           "fewer than 40"},
          {"an empty data chunk", Wav([](WavLayout& w) { w.DataSize = 0; }), "the \"data\" chunk is empty"},
          {"data before fmt",
           Bytes()
               .chars("RIFF")
               .u32(36)
               .chars("WAVE")
               .chars("data")
               .u32(4)
               .u32(0)
               .chars("fmt ")
               .u32(16)
               .raw(std::vector<uint8_t>(16, 1))
               .data(),
           "comes before"},
          {"no data chunk", With(Head(kvtest::MakeWav({}), 36), 4, {28}), "no \"data\" chunk"},
          {"a chunk that runs past the end", With(kvtest::MakeWav({}), 16, {0xFF, 0x00, 0x01}),
           "cut short: the \"fmt \" chunk at byte 12"},
          {"an unprintable chunk id", With(kvtest::MakeWav({}), 36, {0x01, 0x02, 0xF3, 'a', 0, 0, 1}),
           "0x0102F361 chunk at byte 36"},
      });
}

TEST(SoundCheck, Midi) {
  ExpectCases(MidiProblem,
              {
                  {"format 0", kvtest::MakeMidi(), ""},
                  {"format 1 of 3 tracks", kvtest::MakeMidi(1, 3), ""},
                  {"format 2", kvtest::MakeMidi(2, 2), ""},
                  {"a longer header chunk",
                   Bytes()
                       .chars("MThd")
                       .raw({0, 0, 0, 8, 0, 0, 0, 1, 0, 96, 0, 0})
                       .chars("MTrk")
                       .raw({0, 0, 0, 0})
                       .data(),
                   ""},
                  {"another chunk before the track",
                   Join(Head(kvtest::MakeMidi(), 14),
                        Bytes().chars("XFIH").raw({0, 0, 0, 2, 7, 7}).chars("MTrk").raw({0, 0, 0, 0}).data()),
                   ""},
                  {"bytes after the last track", Join(kvtest::MakeMidi(), Text("trailing")), ""},

                  {"the header alone", Text(std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14)),
                   "names 1 track(s), the file has 0"},
                  {"a RIFF MIDI file", Join(Text(std::string("RIFF\x20\0\0\0RMID", 12)), kvtest::MakeMidi()),
                   "does not begin with \"MThd\""},
                  {"a short header chunk", With(kvtest::MakeMidi(), 7, {5}), "5 bytes, fewer than 6"},
                  {"a header chunk beyond the file", With(kvtest::MakeMidi(), 6, {1}),
                   "cut short: the \"MThd\" chunk at byte 0"},
                  {"format 3", With(kvtest::MakeMidi(), 9, {3}), "MIDI format 3"},
                  {"no tracks", With(kvtest::MakeMidi(), 11, {0}), "names no tracks"},
                  {"a time division of 0", With(kvtest::MakeMidi(), 13, {0}), "a time division of 0"},
                  {"a track beyond the file", With(kvtest::MakeMidi(), 20, {1}),
                   "cut short: the \"MTrk\" chunk at byte 14 needs 282 bytes, the file has 26"},
                  {"fewer tracks than named", With(kvtest::MakeMidi(1, 2), 11, {3}),
                   "names 3 track(s), the file has 2"},
              });
}

TEST(SoundCheck, Mp3) {
  // Header bytes and the length of their frames.
  struct Frame {
    const char* What;
    std::initializer_list<uint8_t> Header;
    std::size_t Length;
  };
  const Frame frames[] = {
      {"MPEG 1 layer III 128 kbit/s 44100 Hz", {0xFF, 0xFB, 0x90, 0x64}, 417},
      {"the same, padded", {0xFF, 0xFB, 0x92, 0x64}, 418},
      {"MPEG 1 layer III 320 kbit/s 48000 Hz", {0xFF, 0xFB, 0xE4, 0x00}, 960},
      {"MPEG 2 layer III 64 kbit/s 22050 Hz", {0xFF, 0xF3, 0x80, 0xC0}, 208},
      {"MPEG 2.5 layer III 8 kbit/s 8000 Hz", {0xFF, 0xE3, 0x18, 0xC0}, 72},
      {"MPEG 1 layer II 192 kbit/s 44100 Hz", {0xFF, 0xFD, 0xA0, 0x00}, 626},
      {"MPEG 1 layer I 32 kbit/s 44100 Hz", {0xFF, 0xFF, 0x10, 0x00}, 32},
      {"MPEG 2 layer I 32 kbit/s 24000 Hz, padded", {0xFF, 0xF7, 0x16, 0x00}, 68},
  };
  for (const Frame& f : frames) {
    EXPECT_EQ(Mp3Problem(kvtest::MakeMpegFrames(f.Header, f.Length)), "") << f.What;
    EXPECT_NE(Mp3Problem(kvtest::MakeMpegFrames(f.Header, f.Length + 1)), "") << f.What;
    EXPECT_NE(Mp3Problem(kvtest::MakeMpegFrames(f.Header, f.Length - 1)), "") << f.What;
  }

  const std::vector<uint8_t> mp3 = kvtest::MakeMp3();
  std::vector<uint8_t> footer = kvtest::Id3Tag(20);
  footer[3] = 4;
  footer[5] = 0x10;
  footer.resize(footer.size() + 10, 0);
  ExpectCases(
      Mp3Problem,
      {
          {"three frames", mp3, ""},
          {"one frame that is the whole file", kvtest::MakeMp3(1), ""},
          {"two frames that are the whole file", kvtest::MakeMp3(2), ""},
          {"frames after an ID3 tag", Join(kvtest::Id3Tag(300), mp3), ""},
          {"frames after two ID3 tags", Join(Join(kvtest::Id3Tag(10), kvtest::Id3Tag(5)), mp3), ""},
          {"frames after an ID3v2.4 tag with a footer", Join(footer, mp3), ""},
          {"a frame and an ID3v1 tag", Join(kvtest::MakeMp3(1), Join(Text("TAG"), std::vector<uint8_t>(125))),
           ""},
          {"junk before the frames", Join(Text("junk\xFF\xFB"), mp3), ""},
          {"a cut frame at the end", Head(mp3, mp3.size() - 1), ""},

          {"an ID3 tag alone", kvtest::Id3Tag(100), "no MPEG audio frames after the ID3 tag"},
          {"an ID3 tag beyond the file", Head(kvtest::Id3Tag(100), 50),
           "cut short: the ID3 tag at byte 0 needs 110 bytes, the file has 50"},
          {"an ID3 size that is not syncsafe", With(Join(kvtest::Id3Tag(100), mp3), 9, {0x80}),
           "not syncsafe"},
          {"one frame cut short", Head(mp3, 416), "no MPEG audio frames"},
          {"one frame after junk", Join(Text("junk"), kvtest::MakeMp3(1)), "no MPEG audio frames"},
          {"one frame and a byte", Join(kvtest::MakeMp3(1), {0}), "no MPEG audio frames"},
          {"a reserved version", kvtest::MakeMpegFrames({0xFF, 0xEB, 0x90, 0x64}, 417),
           "no MPEG audio frames"},
          {"a reserved layer", kvtest::MakeMpegFrames({0xFF, 0xF9, 0x90, 0x64}, 417), "no MPEG audio frames"},
          {"a bad bitrate", kvtest::MakeMpegFrames({0xFF, 0xFB, 0xF0, 0x64}, 417), "no MPEG audio frames"},
          {"free format", kvtest::MakeMpegFrames({0xFF, 0xFB, 0x00, 0x64}, 417), "no MPEG audio frames"},
          {"a reserved sample rate", kvtest::MakeMpegFrames({0xFF, 0xFB, 0x9C, 0x64}, 417),
           "no MPEG audio frames"},
          {"a reserved emphasis", kvtest::MakeMpegFrames({0xFF, 0xFB, 0x90, 0x66}, 417),
           "no MPEG audio frames"},
          {"frames of different sample rates",
           Join(kvtest::MakeMpegFrames({0xFF, 0xFB, 0x90, 0x64}, 417, 1),
                kvtest::MakeMpegFrames({0xFF, 0xFB, 0x94, 0x64}, 384, 2)),
           "no MPEG audio frames"},
      });
}

TEST(SoundCheck, Wma) {
  using kvtest::AsfObject;
  using kvtest::MakeWma;
  const std::vector<uint8_t> wma = MakeWma();
  ExpectCases(WmaProblem,
              {
                  {"file and stream properties", wma, ""},
                  {"file properties only", MakeWma({AsfObject(kvtest::kAsfFilePropertiesGuid, 80)}), ""},
                  {"stream properties after another object",
                   MakeWma({AsfObject(std::vector<uint8_t>(16, 7), 10),
                            AsfObject(kvtest::kAsfStreamPropertiesGuid, 54)}),
                   ""},
                  {"packets after the data object", Join(wma, std::vector<uint8_t>(100, 0x82)), ""},

                  {"the GUID alone", kvtest::kAsfHeaderGuid, "does not begin with an ASF header object"},
                  {"another GUID", With(wma, 0, {0x31}), "does not begin with an ASF header object"},
                  {"a header size below 30", With(wma, 16, {29}), "an ASF header object of 29 bytes"},
                  {"a header beyond the file", With(wma, 21, {1}),
                   "cut short: the ASF header object at byte 0 needs"},
                  {"no properties", MakeWma({AsfObject(std::vector<uint8_t>(16, 7), 10)}),
                   "no file or stream properties"},
                  {"no objects at all", MakeWma({}), "no file or stream properties"},
                  {"an object too small", With(wma, 30 + 16, {23}),
                   "the object at byte 30 of the ASF header has a size of 23 bytes"},
                  {"an object beyond the header", With(wma, 30 + 16, {0xFF}),
                   "the object at byte 30 of the ASF header has a size of 255 bytes"},
                  {"a header that ends inside an object", With(wma, 16, {30 + 104 + 10}),
                   "ends inside the object at byte 134"},
                  {"no data object", Head(wma, wma.size() - 50), "no ASF data object"},
                  {"something else after the header", With(wma, wma.size() - 50, {0}), "no ASF data object"},
              });
}

// A sound cut short anywhere is refused: every shorter piece of each smallest file fails. (MPEG audio is
// the exception at frame ends, where a shorter file is whole frames.)
TEST(SoundCheck, EveryCutOfTheSmallestFilesIsRefused) {
  const std::pair<Check, std::vector<uint8_t>> files[] = {
      {WavProblem, kvtest::MakeWav({})},
      {WavProblem, Wav([](WavLayout& w) { w.Tag = 0xFFFE, w.Bits = 16, w.Align = 2, w.FmtLength = 40; })},
      {MidiProblem, kvtest::MakeMidi(1, 2)},
      {WmaProblem, kvtest::MakeWma()},
      {Mp3Problem, Join(kvtest::Id3Tag(20), kvtest::MakeMp3(2))},
  };
  for (const auto& [check, file] : files) {
    ASSERT_EQ(check(file), "");
    for (std::size_t size = 0; size < file.size(); ++size) {
      const std::vector<uint8_t> cut = Head(file, size);
      if (check == Mp3Problem && size == 30 + 417) continue; // one whole frame
      EXPECT_NE(check(cut), "") << size << " of " << file.size();
    }
  }
}
