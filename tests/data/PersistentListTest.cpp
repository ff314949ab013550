#include "core/uKVErrors.h"
#include "data/uKVPersistentList.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kv;

namespace {

// Counts its own destructions.
class TCounted : public TPersistent {
public:
  explicit TCounted(int& gone) : Gone(gone) {}
  ~TCounted() override { ++Gone; }

private:
  int& Gone;
};

class TRecordingList : public TKVPersistentList {
public:
  ~TRecordingList() override { Clear(); } // so that the deletions at destruction are seen here
  std::vector<std::pair<TPersistent*, TListNotification>> Seen;
  void Notify(TPersistent* item, TListNotification action) override { Seen.emplace_back(item, action); }
};

std::string ListMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const EListError& e) {
    return e.what();
  }
  return "no error";
}

} // namespace

TEST(PersistentList, GrowsByFourThenSixteenThenAQuarter) {
  TKVPersistentList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 120; ++i) {
    const int32_t before = list.Capacity();
    EXPECT_EQ(list.Add(nullptr), i);
    if (list.Capacity() != before) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147}));
  EXPECT_EQ(list.Count(), 120);
}

TEST(PersistentList, OutOfBoundsMessages) {
  TKVPersistentList list;
  TPersistent a;
  list.Add(&a);
  list.Add(&a);
  struct Case {
    std::function<void()> action;
    std::string message;
  };
  const Case cases[] = {
      {[&] { list.Items(-1); }, "List index out of bounds (-1)"},
      {[&] { list.Items(2); }, "List index out of bounds (2)"},
      {[&] { list.Delete(5); }, "List index out of bounds (5)"},
      {[&] { list.Owns(-3); }, "List index out of bounds (-3)"},
      {[&] { list.SetCapacity(1); }, "List capacity out of bounds (1)"},
      {[&] { list.SetCapacity(134217728); }, "List capacity out of bounds (134217728)"},
      {[&] { list.SetCount(-1); }, "List count out of bounds (-1)"},
      {[&] { list.SetCount(134217728); }, "List count out of bounds (134217728)"},
  };
  for (const auto& c : cases) EXPECT_EQ(ListMessage(c.action), c.message);
  EXPECT_EQ(list.Count(), 2); // nothing changed
  EXPECT_EQ(list.Items(1), &a);
}

TEST(PersistentList, AnErrorOverrideThatReturnsStillStopsTheOperation) {
  class TQuiet : public TKVPersistentList {
  public:
    int Calls = 0;
    void Error(const std::string&, int32_t) override { ++Calls; }
  } list;
  EXPECT_THROW(list.Items(0), EListError);
  EXPECT_EQ(list.Calls, 1);
}

TEST(PersistentList, NotifiesAddedAndDeletedForNonEmptyItems) {
  TPersistent a, b, c;
  TRecordingList list;
  list.Add(&a);
  list.Add(nullptr);
  list.Add(&b);
  list.Add(&c);
  list.Delete(1); // the empty slot: no notification
  EXPECT_EQ(list.Items(1), &b);
  list.SetCount(1); // deletes from the end
  using N = TListNotification;
  const std::vector<std::pair<TPersistent*, N>> expected = {
      {&a, N::lnAdded}, {&b, N::lnAdded}, {&c, N::lnAdded}, {&c, N::lnDeleted}, {&b, N::lnDeleted}};
  EXPECT_EQ(list.Seen, expected);

  list.SetCount(3); // new slots are empty
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Items(2), nullptr);
  EXPECT_EQ(list.IndexOf(&a), 0);
  EXPECT_EQ(list.IndexOf(&b), -1);

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 0);
  EXPECT_EQ(list.Seen.back(), (std::pair<TPersistent*, N>{&a, N::lnDeleted}));
}

TEST(PersistentList, OwnsOnlyWhatItWasGiven) {
  int gone = 0;
  TCounted outside(gone);
  {
    TRecordingList list;
    list.Add(&outside);
    list.AddOwned(std::make_unique<TCounted>(gone));
    list.AddOwned(std::make_unique<TCounted>(gone));
    list.AddOwned(std::make_unique<TCounted>(gone));
    EXPECT_FALSE(list.Owns(0));
    EXPECT_TRUE(list.Owns(1));

    list.Delete(1);
    EXPECT_EQ(gone, 1);
    EXPECT_EQ(list.Seen.back().second, TListNotification::lnDeleted); // seen before it went

    list.SetCount(2); // drops the last owned item
    EXPECT_EQ(gone, 2);
    list.Delete(0); // not owned: stays alive
    EXPECT_EQ(gone, 2);
  }
  EXPECT_EQ(gone, 3); // the last owned one went with the list
}

TEST(PersistentList, CapacityFollowsRequests) {
  TKVPersistentList list;
  list.SetCapacity(100);
  EXPECT_EQ(list.Capacity(), 100);
  list.SetCount(10);
  list.SetCapacity(10);
  EXPECT_EQ(list.Capacity(), 10);
  EXPECT_EQ(list.Count(), 10);
  list.Add(nullptr); // full: grows by 16
  EXPECT_EQ(list.Capacity(), 26);
}
