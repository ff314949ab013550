// The tree's child list: order, ownership, the hooks around adding, moving, removing and destroying children.
#include "gui/uKVGUIObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kv::TKVGUIObject;

class TLogged : public TKVGUIObject {
public:
  TLogged(std::vector<std::string>& log, std::string name) : Log(log) { Name = std::move(name); }
  void ChildAdded(int32_t index, TKVGUIObject* child) override {
    Log.push_back(Name + " added " + child->Name + "@" + std::to_string(index));
  }
  void ChildRemoved(int32_t index, TKVGUIObject* child) override {
    Log.push_back(Name + " removed " + child->Name + "@" + std::to_string(index) + " parent " +
                  (child->Parent() ? child->Parent()->Name : "none"));
  }
  void InitControl() override {
    Log.push_back(Name + " init in " + (Parent() ? Parent()->Name : "none") + " destroying " +
                  std::to_string(Destroying()));
  }
  void DoneControl() override {
    Log.push_back(Name + " done children " + std::to_string(ChildCount()) + " destroying " +
                  std::to_string(Destroying()));
  }
  std::vector<std::string>& Log;
};

std::string Order(const TKVGUIObject& o) {
  std::string s;
  for (int32_t i = 0; i < o.ChildCount(); ++i) s += o.Children(i)->Name;
  return s;
}

TEST(GUIObjectTest, ChildrenAreAppendedAtTheBottomAndAddedBeforeTheyInitialise) {
  std::vector<std::string> log;
  auto root = kv::NewRoot<TLogged>(log, "R");
  kv::NewChild<TLogged>(*root, log, "a");
  kv::NewChild<TLogged>(*root, log, "b");
  EXPECT_EQ(Order(*root), "ab");
  EXPECT_EQ(
      log, (std::vector<std::string>{"R init in none destroying 0", "R added a@0", "a init in R destroying 0",
                                     "R added b@1", "b init in R destroying 0"}));
  EXPECT_EQ(root->IndexOfChild(root->Children(1)), 1);
  EXPECT_EQ(root->IndexOfChild(root.get()), -1);
  EXPECT_EQ(root->Children(2), nullptr);
  EXPECT_EQ(root->Children(-1), nullptr);
}

TEST(GUIObjectTest, MovesToTopAndBottomShiftTheOthersByOnePlace) {
  struct TCase {
    bool ToTop;
    int32_t Index;
    const char* Expected;
  };
  const TCase cases[] = {{true, 2, "cabd"},  {true, 0, "abcd"},  {true, 3, "dabc"}, {false, 1, "acdb"},
                         {false, 3, "abcd"}, {false, 0, "bcda"}, {true, 9, "abcd"}, {false, -1, "abcd"}};
  for (const TCase& c : cases) {
    std::vector<std::string> log;
    auto root = kv::NewRoot<TLogged>(log, "R");
    for (const char* n : {"a", "b", "c", "d"}) kv::NewChild<TLogged>(*root, log, n);
    if (c.ToTop)
      root->MoveChildToTop(c.Index);
    else
      root->MoveChildToBottom(c.Index);
    EXPECT_EQ(Order(*root), c.Expected) << (c.ToTop ? "top " : "bottom ") << c.Index;
  }
}

TEST(GUIObjectTest, DestroyingAChildDestroysItsChildrenFirstWithoutDetachingThemOneByOne) {
  std::vector<std::string> log;
  auto root = kv::NewRoot<TLogged>(log, "R");
  auto& a = kv::NewChild<TLogged>(*root, log, "a");
  kv::NewChild<TLogged>(a, log, "x");
  kv::NewChild<TLogged>(a, log, "y");
  kv::NewChild<TLogged>(*root, log, "b");
  log.clear();
  root->DestroyChild(&a);
  EXPECT_EQ(log, (std::vector<std::string>{"x done children 0 destroying 1", "y done children 0 destroying 1",
                                           "a done children 0 destroying 1", "R removed a@0 parent R"}));
  EXPECT_EQ(Order(*root), "b");
}

TEST(GUIObjectTest, RemoveChildHandsTheChildBackAlive) {
  std::vector<std::string> log;
  auto root = kv::NewRoot<TLogged>(log, "R");
  kv::NewChild<TLogged>(*root, log, "a");
  auto& b = kv::NewChild<TLogged>(*root, log, "b");
  log.clear();
  std::unique_ptr<TKVGUIObject> taken = root->RemoveChild(&b);
  ASSERT_EQ(taken.get(), &b);
  EXPECT_EQ(b.Parent(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"R removed b@1 parent R"}));
  EXPECT_EQ(root->RemoveChild(&b), nullptr);
  // Back in, at the bottom.
  root->AddChild(std::move(taken));
  EXPECT_EQ(Order(*root), "ab");
  EXPECT_EQ(b.Parent(), root.get());
}

TEST(GUIObjectTest, TheOwnerDestroysARootWithItsTree) {
  std::vector<std::string> log;
  {
    auto root = kv::NewRoot<TLogged>(log, "R");
    kv::NewChild<TLogged>(*root, log, "a");
    log.clear();
  }
  EXPECT_EQ(log,
            (std::vector<std::string>{"a done children 0 destroying 1", "R done children 0 destroying 1"}));
}

TEST(GUIObjectTest, DestroyChildrenEmptiesTheListLastFirst) {
  std::vector<std::string> log;
  auto root = kv::NewRoot<TLogged>(log, "R");
  for (const char* n : {"a", "b", "c"}) kv::NewChild<TLogged>(*root, log, n);
  log.clear();
  root->DestroyChildren();
  EXPECT_EQ(root->ChildCount(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"c done children 0 destroying 1", "R removed c@2 parent R",
                                           "b done children 0 destroying 1", "R removed b@1 parent R",
                                           "a done children 0 destroying 1", "R removed a@0 parent R"}));
}

TEST(GUIObjectTest, DestroyOnAChildGoesThroughItsParent) {
  std::vector<std::string> log;
  auto root = kv::NewRoot<TLogged>(log, "R");
  auto& a = kv::NewChild<TLogged>(*root, log, "a");
  kv::NewChild<TLogged>(*root, log, "b");
  TKVGUIObject::Destroy(&a);
  EXPECT_EQ(Order(*root), "b");
  TKVGUIObject::Destroy(nullptr);
}

} // namespace
