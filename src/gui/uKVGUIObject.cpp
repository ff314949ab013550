#include "gui/uKVGUIObject.h"

#include "gui/uKVGraphicEngine.h"

#include <algorithm>

namespace kv {

void TKVGUIObjectDeleter::operator()(TKVGUIObject* object) const {
  TKVGUIObject::Destroy(object);
}

TKVGUIObject::TKVGUIObject() = default;

TKVCustomGamesSkin* TKVGUIObject::Skin() const {
  TKVCustomGraphicEngine* engine = Engine();
  return engine ? &engine->Skin() : nullptr;
}

TKVGUIObject::~TKVGUIObject() = default;

const TKVClassInfo& TKVGUIObject::StaticClassInfo() {
  static const TKVClassInfo info{"TKVGUIObject", &TKVObject::StaticClassInfo(), {}, {}};
  return info;
}

TKVGUIObject* TKVGUIObject::Children(int32_t index) const {
  if (index < 0 || index >= ChildCount()) return nullptr;
  return FChildren[static_cast<std::size_t>(index)].get();
}

int32_t TKVGUIObject::IndexOfChild(const TKVGUIObject* child) const {
  for (std::size_t i = 0; i < FChildren.size(); ++i)
    if (FChildren[i].get() == child) return static_cast<int32_t>(i);
  return -1;
}

TKVGUIObject& TKVGUIObject::AddChild(std::unique_ptr<TKVGUIObject> child) {
  TKVGUIObject& result = *child;
  child->FParent = this;
  FChildren.push_back(std::move(child));
  ChildAdded(ChildCount() - 1, &result);
  return result;
}

std::unique_ptr<TKVGUIObject> TKVGUIObject::RemoveChild(TKVGUIObject* child) {
  const int32_t index = IndexOfChild(child);
  if (index < 0) return nullptr;
  child->BeforeDetach();
  // Out of the tree it is a root of its own, still shown by the same engine.
  child->FEngine = Engine();
  auto owned = std::move(FChildren[static_cast<std::size_t>(index)]);
  FChildren.erase(FChildren.begin() + index);
  ChildRemoved(index, owned.get());
  owned->FParent = nullptr;
  return owned;
}

void TKVGUIObject::DestroyChild(TKVGUIObject* child) {
  if (IndexOfChild(child) < 0) return;
  child->BeforeDetach();
  child->DestroyTree();
  // DestroyTree may have run code that moved the child; find it again.
  const int32_t index = IndexOfChild(child);
  if (index < 0) return;
  auto owned = std::move(FChildren[static_cast<std::size_t>(index)]);
  FChildren.erase(FChildren.begin() + index);
  ChildRemoved(index, owned.get());
  owned->FParent = nullptr;
}

void TKVGUIObject::DestroyChildren() {
  while (!FChildren.empty()) DestroyChild(FChildren.back().get());
}

void TKVGUIObject::DestroyTree() {
  if (FDone) return;
  FDestroying = true;
  // Children go with their parent: each is marked and freed without leaving the list one by one.
  for (auto& child : FChildren) child->DestroyTree();
  FChildren.clear();
  DoneControl();
  FDone = true;
}

void TKVGUIObject::Destroy(TKVGUIObject* object) {
  if (!object) return;
  if (object->FParent) {
    object->FParent->DestroyChild(object);
    return;
  }
  std::unique_ptr<TKVGUIObject> owned(object);
  owned->BeforeDetach();
  owned->DestroyTree();
}

void TKVGUIObject::ChildAdded(int32_t, TKVGUIObject*) {}
void TKVGUIObject::ChildRemoved(int32_t, TKVGUIObject*) {}

void TKVGUIObject::MoveChildToTop(int32_t index) {
  if (index <= 0 || index >= ChildCount()) return;
  std::rotate(FChildren.begin(), FChildren.begin() + index, FChildren.begin() + index + 1);
}

void TKVGUIObject::MoveChildToBottom(int32_t index) {
  if (index < 0 || index >= ChildCount() - 1) return;
  std::rotate(FChildren.begin() + index, FChildren.begin() + index + 1, FChildren.end());
}

void TKVGUIObject::InitControl() {}
void TKVGUIObject::DoneControl() {}

} // namespace kv
