// The numbers of message 1024 travel between controls, the session and the application, and the event
// numbers are the ids the package's sounds are registered under: none of them may move.
#include "gui/uKVGameEvents.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(GameEventsTest, CodesKeepTheirNumbers) {
  const struct {
    kv::TAppCode Code;
    int32_t Number;
  } cases[] = {{kv::TAppCode::Stopped, 0},     {kv::TAppCode::Running, 1},
               {kv::TAppCode::Paused, 2},      {kv::TAppCode::SetCursor, 3},
               {kv::TAppCode::Close, 16},      {kv::TAppCode::PlayRepeating, 65534},
               {kv::TAppCode::PlayOnce, 65535}};
  for (const auto& c : cases) EXPECT_EQ(kv::ToUnderlying(c.Code), c.Number);
}

TEST(GameEventsTest, EventsKeepTheirNumbers) {
  const struct {
    kv::TGameEvent Event;
    int32_t Number;
  } cases[] = {{kv::TGameEvent::Music, 1},     {kv::TGameEvent::PickUp, 100},  {kv::TGameEvent::Turn, 101},
               {kv::TGameEvent::Snap, 102},    {kv::TGameEvent::Preview, 104}, {kv::TGameEvent::TimeUp, 106},
               {kv::TGameEvent::Complete, 107}};
  for (const auto& c : cases) EXPECT_EQ(kv::ToUnderlying(c.Event), c.Number);
}

TEST(GameEventsTest, EachStateIsToldWithItsOwnCode) {
  const struct {
    kv::TGameState State;
    kv::TAppCode Code;
    int32_t Number;
  } cases[] = {{kv::TGameState::Stopped, kv::TAppCode::Stopped, 0},
               {kv::TGameState::Running, kv::TAppCode::Running, 1},
               {kv::TGameState::Paused, kv::TAppCode::Paused, 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(kv::ToUnderlying(c.State), c.Number);
    EXPECT_EQ(kv::StateCode(c.State), c.Code);
  }
}

} // namespace
