// Clean-up bound to a scope: TScopeExit runs its action however the scope ends, TScopeFail only when an
// exception leaves it. Both stand in for a catch-all that undoes a step and throws again.
#pragma once

#include <exception>
#include <utility>

namespace kv {

namespace scope_detail {

// While an exception leaves the scope, an error of the clean-up is dropped: the first error is the one the
// caller sees.
template <class F> void RunWhileUnwinding(F& action) noexcept {
  try {
    action();
  } catch (...) {
  }
}

} // namespace scope_detail

// Runs the action when the scope ends. On a normal end an error of the action leaves the scope, as it would
// from a statement at its end.
template <class F> class TScopeExit {
public:
  explicit TScopeExit(F action) : FAction(std::move(action)) {}
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  ~TScopeExit() noexcept(false) {
    if (std::uncaught_exceptions() == FUncaught)
      FAction();
    else
      scope_detail::RunWhileUnwinding(FAction);
  }

private:
  F FAction;
  // Exceptions already in flight when the scope began: a guard made during unwinding judges its own scope.
  int FUncaught = std::uncaught_exceptions();
};

// Runs the action only when an exception leaves the scope.
template <class F> class TScopeFail {
public:
  explicit TScopeFail(F action) : FAction(std::move(action)) {}
  TScopeFail(const TScopeFail&) = delete;
  TScopeFail& operator=(const TScopeFail&) = delete;
  ~TScopeFail() {
    if (std::uncaught_exceptions() != FUncaught) scope_detail::RunWhileUnwinding(FAction);
  }

private:
  F FAction;
  int FUncaught = std::uncaught_exceptions();
};

} // namespace kv
