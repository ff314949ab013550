// Component base with property-change notification, and the project base with its translation list.
#pragma once

#include "data/uKVObject.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kv {

class TKVComponent;

// The value handed to a property-change handler.
using TKVVariant = std::variant<std::monostate, bool, int64_t, double, std::string>;
using TNotifyEvent = std::function<void(TPersistent* sender)>;
using TKVPropertyChangedEvent =
    std::function<void(TKVComponent* sender, const std::string& name, const TKVVariant& value)>;

enum class TOperation { opInsert, opRemove };

// A component: published Name and Tag, change events, and references to other components that are cleared
// when those components go away.
class TKVComponent : public TPersistent {
public:
  TKVComponent() = default;
  ~TKVComponent() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // The component's own published properties.
  std::string Name;
  int32_t Tag = 0;

  TNotifyEvent OnPropertiesChanged;
  TKVPropertyChangedEvent OnPropertyChanged;
  // When set, the last EndUpdate reports the changes.
  bool AutoNotify = true;

  // Calls OnPropertyChanged unless an update is in progress.
  virtual void PropertyChanged(const std::string& name, const TKVVariant& value);
  virtual void PropertiesChanged(TPersistent* sender);
  // Records that the published object property `name` refers to component, so that the property is set to
  // none when component is destroyed. A name already registered (case ignored) keeps its first component.
  virtual void RegisterObjectProperty(TKVComponent* component, const std::string& name);
  virtual void BeginUpdate();
  virtual void EndUpdate();
  int32_t UpdateCount() const { return FUpdateCount; }

  // Asks component to call Notification(this, opRemove) on this component when it is destroyed.
  void FreeNotification(TKVComponent* component);
  void RemoveFreeNotification(TKVComponent* component);

protected:
  // Called on a component that asked for it when another one goes; clears the properties registered for it.
  virtual void Notification(TKVComponent* component, TOperation operation);

private:
  int32_t FUpdateCount = 0;
  std::vector<std::pair<std::string, TKVComponent*>> FObjectProperties; // lower-case name -> component
  std::vector<TKVComponent*> FFreeNotifies; // both directions: whoever is linked is told or untied
};

class TKVCustomProject : public TKVComponent {
public:
  // Lines of the form key=value.
  std::vector<std::string> Translations;
  std::string Translate(std::string_view text) const;
};

} // namespace kv
