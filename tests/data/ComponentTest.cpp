#include "data/uKVComponent.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kv;

namespace {

// A component that refers to two others through published object properties, without owning them.
class TLinked : public TKVComponent {
public:
  TKVComponent* Partner = nullptr;
  TKVComponent* Second = nullptr;

  static const TKVClassInfo& StaticClassInfo() {
    static const TKVClassInfo info{"TLinked",
                                   &TKVComponent::StaticClassInfo(),
                                   {},
                                   {Ref("Partner", &TLinked::Partner), Ref("Second", &TLinked::Second)}};
    return info;
  }
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

private:
  // A reference can be cleared but cannot take ownership of a new object.
  static TKVPropInfo Ref(const char* name, TKVComponent* TLinked::*field) {
    return ObjectProperty<TLinked>(
        name, TKVObjectKind::okObject, [field](TLinked& o) -> TPersistent* { return o.*field; },
        [field](TLinked& o, std::unique_ptr<TPersistent> v) {
          if (v) return false;
          o.*field = nullptr;
          return true;
        });
  }
};

} // namespace

TEST(Component, PublishesNameAndTag) {
  TKVComponent c;
  const auto props = c.PublishedProperties();
  ASSERT_EQ(props.size(), 2u);
  EXPECT_EQ(props[0]->Name, "Name");
  EXPECT_EQ(props[0]->Kind, TKVPropertyKind::pkString);
  EXPECT_EQ(props[1]->Name, "Tag");
  EXPECT_EQ(props[1]->Kind, TKVPropertyKind::pkInteger);
}

TEST(Component, PropertyChangedIsHeldBackDuringAnUpdate) {
  TKVComponent c;
  std::vector<std::pair<std::string, TKVVariant>> seen;
  c.OnPropertyChanged = [&](TKVComponent* sender, const std::string& name, const TKVVariant& value) {
    EXPECT_EQ(sender, &c);
    seen.emplace_back(name, value);
  };
  c.PropertyChanged("Width", int64_t{5});
  c.BeginUpdate();
  c.PropertyChanged("Height", int64_t{6});
  c.EndUpdate();
  c.PropertyChanged("Caption", std::string("x"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, "Width");
  EXPECT_EQ(std::get<int64_t>(seen[0].second), 5);
  EXPECT_EQ(seen[1].first, "Caption");
  EXPECT_EQ(std::get<std::string>(seen[1].second), "x");

  TKVComponent quiet; // no handler: nothing happens
  quiet.PropertyChanged("Width", true);
  quiet.PropertiesChanged(&quiet);
}

TEST(Component, EndUpdateNotifiesOnlyWhenTheLastUpdateEnds) {
  TKVComponent c;
  std::vector<TPersistent*> senders;
  c.OnPropertiesChanged = [&](TPersistent* sender) { senders.push_back(sender); };
  c.BeginUpdate();
  c.BeginUpdate();
  c.EndUpdate();
  EXPECT_TRUE(senders.empty());
  EXPECT_EQ(c.UpdateCount(), 1);
  c.EndUpdate();
  ASSERT_EQ(senders.size(), 1u);
  EXPECT_EQ(senders[0], &c);
  EXPECT_EQ(c.UpdateCount(), 0);

  // An unbalanced EndUpdate resets the counter and notifies.
  c.EndUpdate();
  EXPECT_EQ(senders.size(), 2u);
  EXPECT_EQ(c.UpdateCount(), 0);

  // Without auto-notify nothing is reported.
  c.AutoNotify = false;
  c.BeginUpdate();
  c.EndUpdate();
  EXPECT_EQ(senders.size(), 2u);
}

TEST(Component, RemovedComponentsClearTheirRegisteredProperties) {
  TLinked owner;
  auto partner = std::make_unique<TKVComponent>();
  auto other = std::make_unique<TKVComponent>();
  owner.Partner = partner.get();
  owner.Second = partner.get();
  owner.RegisterObjectProperty(partner.get(), "Partner");
  owner.RegisterObjectProperty(partner.get(), "SECOND"); // names are kept in lower case
  owner.RegisterObjectProperty(other.get(), "partner");  // already registered: ignored
  owner.RegisterObjectProperty(nullptr, "Third");        // no component: ignored

  other.reset();
  EXPECT_EQ(owner.Partner, partner.get()) << "the second registration of a name must not count";
  partner.reset();
  EXPECT_EQ(owner.Partner, nullptr);
  EXPECT_EQ(owner.Second, nullptr);
}

TEST(Component, RegistrationsDoNotOutliveEitherSide) {
  // The owner goes first: the partner's later destruction must not reach it.
  auto partner = std::make_unique<TKVComponent>();
  {
    TLinked owner;
    owner.Partner = partner.get();
    owner.RegisterObjectProperty(partner.get(), "Partner");
  }
  partner.reset();

  // Explicit untying: no notification arrives any more.
  TLinked owner;
  auto gone = std::make_unique<TKVComponent>();
  owner.Partner = gone.get();
  owner.RegisterObjectProperty(gone.get(), "Partner");
  owner.RemoveFreeNotification(gone.get());
  TKVComponent* kept = gone.get();
  gone.reset();
  EXPECT_EQ(owner.Partner, kept);
}

TEST(Component, Translate) {
  struct Case {
    std::vector<std::string> lines;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {{}, "Finish", "Finish"},
      {{"A=x", "a=y"}, "A", "y"}, // case ignored; the last match wins
      {{"Finish=Fertig"}, "finish", "Fertig"},
      {{"Finish="}, "Finish", "Finish"}, // an empty value gives the text back
      {{"Finish=Fertig", "no equals sign", "Of=von"}, "Of", "von"},
      {{"a=b=c"}, "a", "b=c"}, // only the first "=" splits
      {{"ab=x"}, "a", "a"},
  };
  for (const auto& c : cases) {
    TKVCustomProject project;
    project.Translations = c.lines;
    EXPECT_EQ(project.Translate(c.text), c.expected) << c.text;
  }
}
