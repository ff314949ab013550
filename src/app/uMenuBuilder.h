// The package's menus as Qt menus: the records of one menu number become entries of the menu bar or of the
// popup menu, submenus for records with children, separators for "-"; clicking an entry runs the record's
// script item with the entry as its sender; the entries of commands with a check mark can be visited.
#pragma once

#include "data/uExecData.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <functional>
#include <utility>
#include <vector>

namespace kv {

class TMenuBuilder {
public:
  void Build(uint8_t menuNumber, QMenuBar& target, TMenuList& records);
  void Build(uint8_t menuNumber, QMenu& target, TMenuList& records);

  // Every entry that still exists with the command id of its script, for check marks that show the state
  // that holds.
  void ForEachCommandEntry(const std::function<void(QAction& entry, int32_t id)>& visit);

private:
  // Adds the records' entries through the target's add functions.
  template <class Target> void BuildInto(uint8_t menuNumber, Target& target, TMenuList& records, bool nested);

  // Guarded: a menu built again deletes the entries of the one before.
  std::vector<std::pair<QPointer<QAction>, int32_t>> FCommandEntries;
};

// A record's caption, or its name when the caption is empty.
std::string MenuCaption(const TMenuExRec& record);

} // namespace kv
