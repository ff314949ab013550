// The bytes a package is written as are pinned: a model with something in every record, built without a
// clock or a picture encoder, must always give the same preview and data section. Any change to a record's
// framing, field order or length shows here even when a round trip would still agree.
#include "Sha256.h"
#include "data/PackageFixture.h"
#include "data/uExecData.h"
#include "data/uExecDataWriter.h"
#include "data/uKVStreamFunc.h"
#include "support/PackageModelFixtures.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace kv;

TEST(PackageBytes, AModelWithEveryRecordIsWrittenAsPinned) {
  TExecDataWriter::SetPictureSteps(nullptr);
  TJigsawProject2 project;
  kvtest::FillEveryRecord(project, kvtest::TModelFilling::Pinned);
  TMemoryStream package;
  project.SaveToStream(package);
  const std::vector<uint8_t>& bytes = package.Bytes();

  // The compressed form depends on the zlib build; the preview and the inflated data section do not.
  ASSERT_GE(bytes.size(), 8u);
  const std::size_t previewEnd = 8 + (bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24);
  ASSERT_LE(previewEnd, bytes.size());
  TMemoryStream packed(
      std::vector<uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(previewEnd), bytes.end()));
  TMemoryStream data;
  TKVStreamFunc::DecompressStream(packed, data);

  const std::span<const uint8_t> preview(bytes.data(), previewEnd);
  EXPECT_EQ(previewEnd, 8u + 6 + 16 + 60 + 6);
  EXPECT_EQ(kvtools::Sha256Hex(preview), "86d7c4371784f4c9b1218ebfed493052bd145151d820430c41d8ac8a978697e4");
  EXPECT_EQ(data.Size(), 3016);
  EXPECT_EQ(kvtools::Sha256Hex(data.Bytes()),
            "1dc8e04576e0927b87b685ab46800edaefa6680d5e9e97068014a33fa746cd8e");

  // The pin covers every record the writer knows.
  const std::vector<uint16_t> tags = kvtest::TagsOf(kvtest::SplitPackage(bytes).Records);
  namespace T = PackageTag;
  for (const uint16_t tag : {T::Picture,
                             T::Sound,
                             T::EventSounds,
                             T::PreparedGame,
                             T::PreparedPictureGame,
                             T::CutDefaults,
                             T::PieceRange,
                             T::PictureSettings,
                             T::PictureChoice,
                             T::Countdown,
                             T::LegacySkin,
                             T::ImageButton,
                             T::BoardArea,
                             T::LegacyStream,
                             T::WallpaperDefaults,
                             T::Skin,
                             T::Title,
                             T::Icon,
                             T::SoundAndWindow,
                             T::Wallpaper,
                             T::ActionGroup,
                             T::MenuTree,
                             T::StartSelection,
                             T::PictureCut,
                             T::CutUse,
                             T::ClockDisplay,
                             T::PieceOptions,
                             T::Banner,
                             T::BannerContainer,
                             T::SoundFormats,
                             T::ButtonScript,
                             T::StartActions,
                             T::ExitActions,
                             T::EndActions,
                             T::NameEntry,
                             T::Flags,
                             T::Ghost,
                             T::HighScoreFile,
                             T::SkinBitmaps,
                             T::PieceShapes,
                             T::PublishedProperties,
                             T::End})
    EXPECT_NE(std::find(tags.begin(), tags.end(), tag), tags.end()) << tag;
}
