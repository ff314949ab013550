// The desktop services the game asks for while it plays: the four message boxes, the pop-up menu of the
// playing area, and the screen. Texts are the package's Windows-1252 texts; an implementation converts them
// where they meet the window system.
#pragma once

#include "core/uKVTypes.h"

#include <string>

namespace kv {

class IMessageBoxes {
public:
  virtual ~IMessageBoxes() = default;
  // Error icon, one OK button.
  virtual void ShowError(const std::string& text) = 0;
  // Information icon, one OK button.
  virtual void ShowInformation(const std::string& text) = 0;
  // Question icon, Yes and No; true for Yes.
  virtual bool AskConfirmation(const std::string& text) = 0;
  // Warning icon, Yes and No; true for Yes.
  virtual bool AskWarning(const std::string& text) = 0;
};

// A menu that can be opened at a point of the screen; the window layer builds it from the package's menus.
class IPopupMenu {
public:
  virtual ~IPopupMenu() = default;
  virtual void Popup(int32_t screenX, int32_t screenY) = 0;
};

class IScreen {
public:
  virtual ~IScreen() = default;
  // The whole screen and the part of it that windows may cover (without panels and docks).
  virtual TRect ScreenRect() const = 0;
  virtual TRect WorkArea() const = 0;
  // The pointer's position on the screen.
  virtual TPoint CursorPos() const = 0;
};

} // namespace kv
