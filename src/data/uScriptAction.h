// The script model: parameter lists, script items, action items and action groups, their four stream
// formats, and the one command hook through which a script item runs its command.
#pragma once

#include "core/uKVErrors.h"
#include "core/uKVTypes.h"
#include "core/uRandomSource.h"
#include "data/uKVStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

class EScriptParamErr : public Exception {
public:
  using Exception::Exception;
};
class EScriptItemErr : public Exception {
public:
  using Exception::Exception;
};
class EActionItemErr : public Exception {
public:
  using Exception::Exception;
};

inline constexpr int32_t kParamInteger = 1; // 4 little-endian bytes
inline constexpr int32_t kParamText = 2;    // single-byte characters without terminator

struct TScriptParameterEntry {
  int32_t Kind = 0;
  std::vector<uint8_t> Data;

  // The first four bytes as a little-endian integer (missing bytes count as 0).
  int32_t AsInteger() const;
  std::string AsText() const { return std::string(Data.begin(), Data.end()); }
  bool operator==(const TScriptParameterEntry&) const = default;
};

class TScriptParameter {
public:
  void Clear() { Items.clear(); }
  void Add(int32_t kind, const void* data, std::size_t size);
  void AddInteger(int32_t value);
  void AddText(std::string_view text);
  const TScriptParameterEntry& Entries(std::size_t index) const { return Items.at(index); }
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  void Assign(const TScriptParameter& other) { Items = other.Items; }
  bool operator==(const TScriptParameter&) const = default;

  // Appends the entries of a parameter-list stream; a wrong header raises EScriptParamErr.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

private:
  std::vector<TScriptParameterEntry> Items;
};

class TActionItem;
class TActionGroup;

class TScriptItem {
public:
  int32_t ID = 0;
  TScriptParameter Parameter;
  TActionItem* ActionOwner = nullptr;
  // Whatever runs the item (a menu entry, a button, a page) names itself here for the hook.
  void* ActualSender = nullptr;

  void Assign(const TScriptItem& other);
  void AddText(std::string_view text) { Parameter.AddText(text); }
  // Calls the command hook with (ActualSender, ID, Parameter); nothing when no hook is installed.
  void Execute() const;
  // What Assign copies: the command and its parameters. Owner and sender say where the item sits, not what
  // it is.
  bool operator==(const TScriptItem& other) const { return ID == other.ID && Parameter == other.Parameter; }

  // A wrong header raises EScriptItemErr and leaves the item as it was.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
};

class TActionItem {
public:
  TActionItem() = default;
  TActionItem(const TActionItem&) = delete;
  TActionItem& operator=(const TActionItem&) = delete;

  int32_t ID() const { return Id; }
  std::string Caption;

  TScriptItem& AddScript();
  void DeleteScript(std::size_t index);
  void ClearScripts() { Items.clear(); }
  TScriptItem& Scripts(std::size_t index) const { return *Items.at(index); }
  int32_t ScriptCount() const { return static_cast<int32_t>(Items.size()); }

  TActionGroup* ActionGroup() const { return Group; }
  // Joining a group for the first time gives the action a fresh identifier unique within that group.
  void SetActionGroup(TActionGroup* group);
  // Copies the caption and the script items, not the identifier.
  void Assign(const TActionItem& other);
  // Runs every script item in order.
  void Execute() const;
  // Identifier, caption and script items; the group is where the action sits, not part of it.
  bool operator==(const TActionItem& other) const;

  // A wrong header raises EActionItemErr and leaves the action as it was.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

private:
  friend class TActionGroup;
  int32_t Id = 0;
  TActionGroup* Group = nullptr;
  std::vector<std::unique_ptr<TScriptItem>> Items;
};

class TActionGroup {
public:
  // New actions draw their ids from random, which must outlive the group.
  explicit TActionGroup(TRandomSource& random) : Random(&random) {}
  TActionGroup(const TActionGroup&) = delete;
  TActionGroup& operator=(const TActionGroup&) = delete;

  std::string Caption;

  TActionItem& AddAction();
  void DeleteAction(std::size_t index);
  void Clear() { Items.clear(); }
  TActionItem& Actions(std::size_t index) const { return *Items.at(index); }
  int32_t ActionCount() const { return static_cast<int32_t>(Items.size()); }
  bool HasActionId(int32_t id, const TActionItem* except) const;
  bool operator==(const TActionGroup& other) const;

  // A wrong header returns without reading anything.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

private:
  friend class TActionItem;
  TRandomSource* Random;
  std::vector<std::unique_ptr<TActionItem>> Items;
};

using TScriptCommandHook = std::function<void(void* sender, int32_t id, const TScriptParameter& parameter)>;
// The one global hook; empty at start and at shutdown. The main window installs its dispatcher.
void SetScriptCommandHook(TScriptCommandHook hook);
const TScriptCommandHook& ScriptCommandHook();

} // namespace kv
