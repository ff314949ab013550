#include "data/uKVComponent.h"

#include "data/uKVStandardFunc.h"

#include <algorithm>

namespace kv {

const TKVClassInfo& TKVComponent::StaticClassInfo() {
  static const TKVClassInfo info{"TKVComponent",
                                 &TPersistent::StaticClassInfo(),
                                 {},
                                 {StringProperty<TKVComponent>("Name", &TKVComponent::Name),
                                  IntegerProperty<TKVComponent>("Tag", &TKVComponent::Tag)}};
  return info;
}

TKVComponent::~TKVComponent() {
  // Untie from everything first, so that a handler cannot reach this half-destroyed component again.
  while (!FFreeNotifies.empty()) {
    TKVComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    std::erase(other->FFreeNotifies, this);
    other->Notification(this, TOperation::opRemove);
  }
}

void TKVComponent::PropertyChanged(const std::string& name, const TKVVariant& value) {
  if (FUpdateCount == 0 && OnPropertyChanged) OnPropertyChanged(this, name, value);
}

void TKVComponent::PropertiesChanged(TPersistent* sender) {
  if (OnPropertiesChanged) OnPropertiesChanged(sender);
}

void TKVComponent::RegisterObjectProperty(TKVComponent* component, const std::string& name) {
  if (!component) return;
  const std::string key = TKVStandardFunc::LowerText(name);
  for (const auto& entry : FObjectProperties)
    if (entry.first == key) return;
  FObjectProperties.emplace_back(key, component);
  if (component != this) component->FreeNotification(this);
}

void TKVComponent::BeginUpdate() {
  ++FUpdateCount;
}

void TKVComponent::EndUpdate() {
  --FUpdateCount;
  if (AutoNotify && FUpdateCount <= 0) {
    FUpdateCount = 0;
    PropertiesChanged(this);
  }
}

void TKVComponent::FreeNotification(TKVComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  if (std::find(component->FFreeNotifies.begin(), component->FFreeNotifies.end(), this) ==
      component->FFreeNotifies.end())
    component->FFreeNotifies.push_back(this);
}

void TKVComponent::RemoveFreeNotification(TKVComponent* component) {
  if (!component) return;
  std::erase(FFreeNotifies, component);
  std::erase(component->FFreeNotifies, this);
}

void TKVComponent::Notification(TKVComponent* component, TOperation operation) {
  if (operation != TOperation::opRemove) return;
  std::vector<std::string> names;
  std::erase_if(FObjectProperties, [&](const auto& entry) {
    if (entry.second != component) return false;
    names.push_back(entry.first);
    return true;
  });
  for (const auto& name : names) {
    const TKVPropInfo* prop = FindProperty(name);
    if (prop && prop->Kind == TKVPropertyKind::pkObject && prop->SetObject) prop->SetObject(*this, nullptr);
  }
}

std::string TKVCustomProject::Translate(std::string_view text) const {
  std::string result(text);
  const std::string key = TKVStandardFunc::LowerText(text);
  for (const auto& line : Translations) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (TKVStandardFunc::LowerText(std::string_view(line).substr(0, eq)) != key) continue;
    const std::string value = line.substr(eq + 1);
    result = value.empty() ? std::string(text) : value;
  }
  return result;
}

} // namespace kv
