#include "data/uKVStandardFunc.h"
#include "data/uScriptAction.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>

using namespace kv;
using kvtest::Bytes;

TEST(ScriptAction, EmptyParameterListIsTwelveBytes) {
  TScriptParameter p;
  TMemoryStream s;
  p.SaveToStream(s);
  EXPECT_EQ(s.Bytes(), Bytes().u32(0x00DEEDEE).u32(0x00DEEDE0).i32(0).data());
}

TEST(ScriptAction, ScriptItemLayout) {
  TScriptItem item;
  item.ID = 14;
  item.Parameter.AddInteger(3);
  TMemoryStream s;
  item.SaveToStream(s);
  const auto params =
      Bytes().u32(0x00DEEDEE).u32(0x00DEEDEF).i32(12).i32(1).i32(4).i32(3).u32(0x00DEEDE0).i32(0);
  ASSERT_EQ(params.size(), 32u);
  const auto expected = Bytes()
                            .u32(0x00BEEBEE)
                            .u32(0x00BEEBEF)
                            .i32(44)
                            .i32(14)
                            .i32(32)
                            .raw(params.data())
                            .u32(0x00BEEBE0)
                            .i32(0);
  EXPECT_EQ(s.Bytes(), expected.data());

  TScriptItem back;
  s.SetPosition(0);
  back.LoadFromStream(s);
  EXPECT_EQ(back.ID, 14);
  ASSERT_EQ(back.Parameter.Count(), 1);
  EXPECT_EQ(back.Parameter.Entries(0).AsInteger(), 3);
}

TEST(ScriptAction, UnknownRecordsAreSkippedAndEntriesAppend) {
  TScriptParameter p;
  p.AddText("first");
  auto s = Bytes()
               .u32(0x00DEEDEE)
               .u32(0x12345678)
               .i32(5)
               .raw({1, 2, 3, 4, 5})
               .u32(0x00DEEDEF)
               .i32(10)
               .i32(2)
               .i32(2)
               .chars("hi")
               .u32(0x00DEEDE0)
               .i32(0)
               .stream();
  p.LoadFromStream(s);
  ASSERT_EQ(p.Count(), 2);
  EXPECT_EQ(p.Entries(0).AsText(), "first");
  EXPECT_EQ(p.Entries(1).AsText(), "hi");
}

TEST(ScriptAction, WrongHeadersAndHostileLengths) {
  kv::TRandomSource random;
  auto bad = Bytes().u32(1).u32(0x00DEEDE0).i32(0).stream();
  TScriptParameter p;
  EXPECT_THROW(p.LoadFromStream(bad), EScriptParamErr);
  bad.SetPosition(0);
  TScriptItem item;
  EXPECT_THROW(item.LoadFromStream(bad), EScriptItemErr);
  bad.SetPosition(0);
  TActionItem action;
  EXPECT_THROW(action.LoadFromStream(bad), EActionItemErr);
  bad.SetPosition(0);
  TActionGroup group(random);
  EXPECT_NO_THROW(group.LoadFromStream(bad));
  EXPECT_EQ(group.ActionCount(), 0);

  // A negative skip would walk backwards for ever; an entry larger than the stream cannot be allocated.
  auto negative = Bytes().u32(0x00DEEDEE).u32(0x99).i32(-12).stream();
  EXPECT_THROW(p.LoadFromStream(negative), EReadError);
  auto huge = Bytes().u32(0x00DEEDEE).u32(0x00DEEDEF).i32(8).i32(2).i32(INT32_MAX).stream();
  EXPECT_THROW(p.LoadFromStream(huge), EReadError);
  auto endless = Bytes().u32(0x00DEEDEE).stream();
  EXPECT_THROW(p.LoadFromStream(endless), EReadError);
}

// A damaged script inside an action, or inside an action of a group, leaves no half-read entry behind.
TEST(ScriptAction, ADamagedNestedEntryIsNotKept) {
  kv::TRandomSource random;
  TActionGroup group(random);
  TActionItem& action = group.AddAction();
  action.Caption = "Open";
  action.AddScript().AddText("page.htm");
  TMemoryStream groupStream, actionStream;
  group.SaveToStream(groupStream);
  action.SaveToStream(actionStream);
  // The script item's header, as stored.
  const std::vector<uint8_t> itemHeader = {0xEE, 0xEB, 0xBE, 0x00};
  auto damaged = [&](const TMemoryStream& stream) {
    std::vector<uint8_t> bytes = stream.Bytes();
    const auto at = std::search(bytes.begin(), bytes.end(), itemHeader.begin(), itemHeader.end());
    EXPECT_NE(at, bytes.end());
    if (at != bytes.end()) *at = 0;
    return TMemoryStream(bytes);
  };

  TMemoryStream badAction = damaged(actionStream);
  TActionItem loadedAction;
  EXPECT_THROW(loadedAction.LoadFromStream(badAction), EScriptItemErr);
  EXPECT_EQ(loadedAction.ScriptCount(), 0);

  TMemoryStream badGroup = damaged(groupStream);
  TActionGroup loadedGroup(random);
  EXPECT_THROW(loadedGroup.LoadFromStream(badGroup), EScriptItemErr);
  EXPECT_EQ(loadedGroup.ActionCount(), 0);
}

TEST(ScriptAction, GroupRoundTripKeepsIdsAndCaptions) {
  kv::TRandomSource random;
  TActionGroup group(random);
  group.Caption = "Start";
  TActionItem& a = group.AddAction();
  a.Caption = "Open page";
  TScriptItem& si = a.AddScript();
  si.ID = 13;
  si.AddText("intro.htm,400,300");
  TActionItem& b = group.AddAction();
  b.Caption = "Play";
  b.AddScript().ID = 14;
  EXPECT_NE(a.ID(), b.ID());

  TMemoryStream s;
  group.SaveToStream(s);
  TActionGroup back(random);
  s.SetPosition(0);
  back.LoadFromStream(s);
  EXPECT_EQ(back.Caption, "Start");
  ASSERT_EQ(back.ActionCount(), 2);
  EXPECT_EQ(back.Actions(0).ID(), a.ID());
  EXPECT_EQ(back.Actions(1).ID(), b.ID());
  EXPECT_EQ(back.Actions(0).Caption, "Open page");
  ASSERT_EQ(back.Actions(0).ScriptCount(), 1);
  EXPECT_EQ(back.Actions(0).Scripts(0).Parameter.Entries(0).AsText(), "intro.htm,400,300");
  EXPECT_EQ(back.Actions(0).Scripts(0).ActionOwner, &back.Actions(0));
  EXPECT_EQ(back.Actions(1).ActionGroup(), &back);

  TMemoryStream again;
  back.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), s.Bytes());
}

TEST(ScriptAction, ActionIdsStayUniqueInAGroup) {
  kv::TRandomSource random;
  random.Seed(1);
  TActionGroup group(random);
  std::set<int32_t> ids;
  for (int i = 0; i < 200; ++i) ids.insert(group.AddAction().ID());
  EXPECT_EQ(ids.size(), 200u);
}

TEST(ScriptAction, ExecuteCallsTheHookInOrder) {
  TActionItem action;
  int sender = 0;
  for (int id : {3, 14, 7}) {
    TScriptItem& s = action.AddScript();
    s.ID = id;
    s.ActualSender = &sender;
  }
  action.Execute(); // no hook: nothing happens
  std::vector<int32_t> seen;
  SetScriptCommandHook([&](void* from, int32_t id, const TScriptParameter&) {
    EXPECT_EQ(from, &sender);
    seen.push_back(id);
  });
  action.Execute();
  SetScriptCommandHook(nullptr);
  EXPECT_EQ(seen, (std::vector<int32_t>{3, 14, 7}));
}

TEST(ScriptAction, ItemsAreEqualByCommandAndParameters) {
  TActionItem owner;
  TScriptItem a = owner.AddScript();
  a.ID = 13;
  a.AddText("page.htm");
  TScriptItem b;
  b.Assign(a);
  int sender = 0;
  b.ActualSender = &sender;
  // Where an item sits and who runs it are no part of it.
  EXPECT_TRUE(a == b);

  TScriptItem otherId = b;
  otherId.ID = 14;
  TScriptItem otherKind = b;
  otherKind.Parameter.Clear();
  otherKind.Parameter.Add(kParamInteger, "page.htm", 8);
  TScriptItem longer = b;
  longer.Parameter.AddInteger(0);
  for (const TScriptItem* other : {&otherId, &otherKind, &longer}) EXPECT_FALSE(a == *other);
}

TEST(ScriptAction, ActionsAndGroupsAreEqualWholeAndDeep) {
  kv::TRandomSource random;
  const auto fill = [](TActionGroup& group, const std::string& text) {
    group.Caption = "Start";
    TActionItem& action = group.AddAction();
    action.Caption = "Open page";
    action.AddScript().ID = 13;
    action.Scripts(0).AddText(text);
  };
  random.Seed(5);
  TActionGroup a(random);
  fill(a, "intro.htm");
  random.Seed(5);
  TActionGroup b(random);
  fill(b, "intro.htm");
  ASSERT_EQ(a.Actions(0).ID(), b.Actions(0).ID());
  EXPECT_TRUE(a == b);
  EXPECT_TRUE(a.Actions(0) == b.Actions(0));

  // A difference deep in a script item shows at the action and at the group.
  b.Actions(0).Scripts(0).Parameter.Clear();
  b.Actions(0).Scripts(0).AddText("other.htm");
  EXPECT_FALSE(a.Actions(0) == b.Actions(0));
  EXPECT_FALSE(a == b);

  // The identifier belongs to the action: a copy made by Assign keeps its own.
  TActionItem copy;
  copy.Assign(a.Actions(0));
  EXPECT_FALSE(copy == a.Actions(0));

  TActionGroup c(random);
  fill(c, "intro.htm");
  c.Caption = "Exit";
  EXPECT_FALSE(a == c);
  TActionGroup d(random);
  EXPECT_FALSE(a == d);
  EXPECT_TRUE(d == TActionGroup(random));
}
