// The data layer reads picture sizes (banners, extra pictures, old saved games) through the reader the
// picture codecs install: every test program installs it, as the player and the package tool do at start.
#include "gui/uPictureConverters.h"

#include <gtest/gtest.h>

namespace {

class TPictureSizeReaderEnvironment : public ::testing::Environment {
public:
  void SetUp() override { kv::InstallPictureSizeReader(); }
  void TearDown() override { kv::SetImageSizeReader(nullptr); }
};

// gtest takes ownership of the environment.
const auto* const Environment = ::testing::AddGlobalTestEnvironment(new TPictureSizeReaderEnvironment);

} // namespace
