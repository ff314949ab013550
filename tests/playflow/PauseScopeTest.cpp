// A command's pause: the session pauses for the command and resumes when it ends, also through an error,
// unless the command moved the session on.
#include "app/uPauseScope.h"
#include "gui/uKVGraphicEngine.h"
#include "gui/uKVSkinEngine.h"
#include "jigsaw/uKVJigsawApplication.h"
#include "platform/uHeadlessPlatform.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class PauseScopeTest : public ::testing::Test {
protected:
  kv::TKVGamesSkin Skin;
  kv::TKVGR32GraphicEngine Engine{Skin};
  kv::THeadlessPlatform Platform;
  kv::TPlatformServices Services = Platform.Services();
  kv::TKVJigsawApplication Session{Services, Engine};
};

TEST_F(PauseScopeTest, PausesForTheCommandAndResumesAfter) {
  {
    const kv::TPauseScope paused(Session);
    EXPECT_EQ(Session.State(), kv::TGameState::Paused);
  }
  EXPECT_EQ(Session.State(), kv::TGameState::Running);
}

TEST_F(PauseScopeTest, ResumesWhenTheCommandFails) {
  try {
    const kv::TPauseScope paused(Session);
    throw std::runtime_error("Unable to save game");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(Session.State(), kv::TGameState::Running);
}

TEST_F(PauseScopeTest, LeavesASessionTheCommandMovedOn) {
  {
    const kv::TPauseScope paused(Session);
    Session.Reset();
  }
  EXPECT_EQ(Session.State(), kv::TGameState::Stopped);
}

} // namespace
