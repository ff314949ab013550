// The base of the control tree: an object with a parent and an ordered list of owned children. Index 0 is the
// top of the z-order (drawn last, hit first); a new child is appended at the bottom.
//
// Objects are built with NewChild (the parent owns the child) or NewRoot (the caller owns it through a
// TKVGUIOwner); both run InitControl once the object is complete, and destruction through the parent or the
// owner runs DoneControl while the object is still whole. Objects are not copied.
#pragma once

#include "data/uKVObject.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kv {

class TKVCustomGamesSkin;
class TKVCustomGraphicEngine;
class TKVGUIObject;

// Destroys an object the way its parent would (children, DoneControl, removal) and frees it.
struct TKVGUIObjectDeleter {
  void operator()(TKVGUIObject* object) const;
};
template <class T> using TKVGUIOwner = std::unique_ptr<T, TKVGUIObjectDeleter>;

class TKVGUIObject : public TKVObject {
public:
  TKVGUIObject();
  ~TKVGUIObject() override;

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TKVGUIObject* Parent() const { return FParent; }
  std::string Name;

  int32_t ChildCount() const { return static_cast<int32_t>(FChildren.size()); }
  // None for an index out of range.
  TKVGUIObject* Children(int32_t index) const;
  // -1 when absent.
  int32_t IndexOfChild(const TKVGUIObject* child) const;
  // Takes the object as the last child and calls ChildAdded(index, child); returns it.
  TKVGUIObject& AddChild(std::unique_ptr<TKVGUIObject> child);
  // Takes the child out of the list without destroying it (ChildRemoved(old index, child)) and gives it
  // back; null when it is not a child.
  std::unique_ptr<TKVGUIObject> RemoveChild(TKVGUIObject* child);
  // Destroys the child: its children first, DoneControl, removal with ChildRemoved, then it is freed.
  void DestroyChild(TKVGUIObject* child);
  // Destroys every child, last first.
  void DestroyChildren();
  // Set while the object's parent, or its owner, destroys it.
  bool Destroying() const { return FDestroying; }

  // The graphic engine the tree draws with and the skin it draws from, both held by the root; none for a
  // tree that is not shown anywhere.
  TKVCustomGraphicEngine* Engine() const { return Root().FEngine; }
  TKVCustomGamesSkin* Skin() const;
  // The engine a root holds: it keeps it when it goes into another tree, so that it can be forgotten there.
  TKVCustomGraphicEngine* HeldEngine() const { return FEngine; }
  void SetHeldEngine(TKVCustomGraphicEngine* engine) { FEngine = engine; }

  // Hooks, in their order.
  virtual void ChildAdded(int32_t index, TKVGUIObject* child);
  virtual void ChildRemoved(int32_t index, TKVGUIObject* child);
  virtual void MoveChildToTop(int32_t index);
  virtual void MoveChildToBottom(int32_t index);
  // After construction, once the object is in its parent's list.
  virtual void InitControl();
  // During destruction, after the children are gone and before the object leaves its parent.
  virtual void DoneControl();

  // Runs the destruction steps (children, DoneControl, leaving the parent) and frees the object.
  static void Destroy(TKVGUIObject* object);

protected:
  // Called before the object is taken out of its parent's list (destroyed or removed).
  virtual void BeforeDetach() {}

private:
  friend struct TKVGUIObjectDeleter;
  const TKVGUIObject& Root() const {
    const TKVGUIObject* object = this;
    while (object->FParent) object = object->FParent;
    return *object;
  }
  // Children destroyed with their parent do not leave it one by one.
  void DestroyTree();

  TKVGUIObject* FParent = nullptr;
  TKVCustomGraphicEngine* FEngine = nullptr;
  std::vector<std::unique_ptr<TKVGUIObject>> FChildren;
  bool FDestroying = false;
  bool FDone = false;
};

// Builds a T, appends it to parent, which owns it, and runs InitControl.
template <class T, class... Args> T& NewChild(TKVGUIObject& parent, Args&&... args) {
  auto object = std::make_unique<T>(std::forward<Args>(args)...);
  T& result = *object;
  parent.AddChild(std::move(object));
  result.InitControl();
  return result;
}

// Builds a T without parent, owned by the caller, and runs InitControl.
template <class T, class... Args> TKVGUIOwner<T> NewRoot(Args&&... args) {
  TKVGUIOwner<T> result(std::make_unique<T>(std::forward<Args>(args)...).release());
  result->InitControl();
  return result;
}

// The same for the root of a tree that engine shows: the engine is there before InitControl asks it for a
// first repaint.
template <class T, class... Args> TKVGUIOwner<T> NewRootOn(TKVCustomGraphicEngine& engine, Args&&... args) {
  TKVGUIOwner<T> result(std::make_unique<T>(std::forward<Args>(args)...).release());
  result->SetHeldEngine(&engine);
  result->InitControl();
  return result;
}

} // namespace kv
