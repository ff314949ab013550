#include "app/uMenuBuilder.h"

#include "platform/uQtPlatform.h"

namespace kv {

std::string MenuCaption(const TMenuExRec& record) {
  return record.Caption.empty() ? record.Name : record.Caption;
}

void TMenuBuilder::Build(uint8_t menuNumber, QMenuBar& target, TMenuList& records) {
  BuildInto(menuNumber, target, records, false);
}

void TMenuBuilder::Build(uint8_t menuNumber, QMenu& target, TMenuList& records) {
  BuildInto(menuNumber, target, records, false);
}

template <class Target>
void TMenuBuilder::BuildInto(uint8_t menuNumber, Target& target, TMenuList& records, bool nested) {
  for (const std::unique_ptr<TMenuExRec>& owned : records) {
    TMenuExRec& record = *owned;
    if (record.MenuNumber != menuNumber) continue;
    const QString caption = QtText(MenuCaption(record));
    TScriptItem* script = record.Script.ID != -1 ? &record.Script : nullptr;
    if (!record.Children.empty()) {
      QMenu* submenu = target.addMenu(caption);
      QAction* entry = submenu->menuAction();
      // Nested submenus follow their record's visible flag; those at the top are always shown.
      entry->setVisible(!nested || record.Visible != 0);
      // A click on a submenu's entry opens the submenu and is no command, in this toolkit as in the desktop's
      // menus the packages were made for: a script the record carries is never run. The entry still shows
      // the check mark of its command.
      if (script) {
        script->ActualSender = entry;
        FCommandEntries.emplace_back(entry, script->ID);
      }
      BuildInto(menuNumber, *submenu, record.Children, true);
      continue;
    }
    if (record.Caption == "-") {
      target.addSeparator();
      continue;
    }
    QAction* entry = target.addAction(caption);
    entry->setVisible(record.Visible != 0);
    if (script) {
      script->ActualSender = entry;
      FCommandEntries.emplace_back(entry, script->ID);
      QObject::connect(entry, &QAction::triggered, [script] { script->Execute(); });
    }
  }
}

void TMenuBuilder::ForEachCommandEntry(const std::function<void(QAction& entry, int32_t id)>& visit) {
  std::erase_if(FCommandEntries, [](const auto& item) { return item.first.isNull(); });
  for (const auto& [entry, id] : FCommandEntries) visit(*entry, id);
}

} // namespace kv
