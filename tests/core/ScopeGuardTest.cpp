// Scope guards: which action runs on which way out, and which error leaves.
#include "core/uScopeGuard.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

using namespace kv;

namespace {

// Runs body inside a scope holding both guards; records what ran and what left the scope.
struct TRun {
  bool ExitRan = false, FailRan = false;
  std::string Left; // the message of the error that left, empty when none did

  template <class Body, class ExitAction, class FailAction>
  TRun(const Body& body, const ExitAction& exitAction, const FailAction& failAction) {
    try {
      TScopeExit onExit([&] {
        ExitRan = true;
        exitAction();
      });
      TScopeFail onFail([&] {
        FailRan = true;
        failAction();
      });
      body();
    } catch (const std::exception& e) {
      Left = e.what();
    }
  }
};

void Nothing() {}

} // namespace

TEST(ScopeGuard, ExitRunsOnEveryWayOutFailOnlyOnAnError) {
  const TRun normal(Nothing, Nothing, Nothing);
  EXPECT_TRUE(normal.ExitRan);
  EXPECT_FALSE(normal.FailRan);
  EXPECT_EQ(normal.Left, "");

  const TRun failed([] { throw std::runtime_error("body"); }, Nothing, Nothing);
  EXPECT_TRUE(failed.ExitRan);
  EXPECT_TRUE(failed.FailRan);
  EXPECT_EQ(failed.Left, "body");
}

TEST(ScopeGuard, TheFirstErrorLeaves) {
  const auto exitError = [] { throw std::runtime_error("exit"); };
  const auto failError = [] { throw std::runtime_error("fail"); };
  // On a normal end the exit action's error leaves, as from a statement at the end of the scope.
  EXPECT_EQ(TRun(Nothing, exitError, failError).Left, "exit");
  // While the body's error leaves, the actions' own errors are dropped; both actions still ran.
  const TRun both([] { throw std::runtime_error("body"); }, exitError, failError);
  EXPECT_EQ(both.Left, "body");
  EXPECT_TRUE(both.ExitRan);
  EXPECT_TRUE(both.FailRan);
}

// A guard made while another error unwinds the stack judges its own scope, not the error around it.
TEST(ScopeGuard, GuardsMadeDuringUnwindingSeeTheirOwnScope) {
  struct TCleaner {
    TRun* Normal;
    TRun* Failed;
    ~TCleaner() {
      *Normal = TRun(Nothing, Nothing, Nothing);
      *Failed = TRun([] { throw std::runtime_error("inner"); }, Nothing, Nothing);
    }
  };
  TRun normal(Nothing, Nothing, Nothing), failed(Nothing, Nothing, Nothing);
  try {
    TCleaner cleaner{&normal, &failed};
    throw std::runtime_error("outer");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "outer");
  }
  EXPECT_TRUE(normal.ExitRan);
  EXPECT_FALSE(normal.FailRan);
  EXPECT_TRUE(failed.FailRan);
  EXPECT_EQ(failed.Left, "inner");
}
