// The persistent-object foundation: the root of every reflectable class with its published-property
// description, a class registry (create an object from its class name), a collection, and TKVObject, the
// persistent base with a virtual constructor.
//
// A reflectable class describes itself once, in a static TKVClassInfo: its name, its parent's description, a
// factory (absent for abstract classes) and its own published properties in declaration order. The class
// overrides ClassInfo() to return that description. PublishedProperties() walks the chain, parent first, so
// properties come in class order. A class that may be created by name (from XML) is also entered in the
// registry, usually by a namespace-scope registrar in its unit:
//
//   const TKVClassInfo& TFoo::StaticClassInfo() {
//     static const TKVClassInfo info{"TFoo", &TKVObject::StaticClassInfo(), MakeFactory<TFoo>(),
//                                    {IntegerProperty<TFoo>("Size", &TFoo::Size)}};
//     return info;
//   }
//   const bool FooRegistered = TKVClassRegistry::Instance().Register(TFoo::StaticClassInfo());
#pragma once

#include "data/uKVStream.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_node;
}

namespace kv {

class TPersistent;
struct TKVClassInfo;

enum class TKVPropertyKind { pkInteger, pkEnumeration, pkString, pkSet, pkObject };

// What an object property holds; the XML form depends on it.
enum class TKVObjectKind {
  okNone,          // not an object property
  okBitmap,        // picture: BMP file, then a byte 0
  okBitmap32,      // 32-bit surface: BMP file, then a byte 1 for blended drawing, else 0
  okStringList,    // lines, stored as CR LF text
  okStream,        // raw bytes
  okObject,        // any other reflectable object
  okCollection,    // a TCollection
  okPersistentList // a TKVPersistentList
};

// The stored form of a picture property until the picture classes exist: the BMP file as saved and the byte
// that follows it (for a 32-bit surface, 1 when it draws blended).
struct TKVBitmapBytes {
  std::vector<uint8_t> Bmp;
  uint8_t Extra = 0;
  // Width and height from the BMP header; 0 x 0 when the bytes are not a BMP file.
  int32_t Width() const;
  int32_t Height() const;
  bool operator==(const TKVBitmapBytes&) const = default;
};

// One published property. Which accessors are set depends on Kind and ObjectKind:
// - integer, enumeration (ordinal) and set (bit i = member i): GetInt / SetInt;
// - string: GetString / SetString;
// - okObject, okCollection, okPersistentList: GetObject (null when empty) / SetObject, which takes over the
//   object (or none) and answers whether it accepted it; a property that cannot hold the object refuses it;
// - okStringList: GetStrings; okStream: GetStream; okBitmap, okBitmap32: GetBitmap (these are always
// present). A property without a setter is read-only; reading XML still fills read-only object properties in
// place.
struct TKVPropInfo {
  std::string Name;
  TKVPropertyKind Kind = TKVPropertyKind::pkInteger;
  TKVObjectKind ObjectKind = TKVObjectKind::okNone;
  std::vector<std::string> Members; // enumeration and set member names, by ordinal

  std::function<int32_t(const TPersistent&)> GetInt;
  std::function<void(TPersistent&, int32_t)> SetInt;
  std::function<std::string(const TPersistent&)> GetString;
  std::function<void(TPersistent&, const std::string&)> SetString;
  std::function<TPersistent*(TPersistent&)> GetObject;
  std::function<bool(TPersistent&, std::unique_ptr<TPersistent>)> SetObject;
  std::function<std::vector<std::string>*(TPersistent&)> GetStrings;
  std::function<TMemoryStream*(TPersistent&)> GetStream;
  std::function<TKVBitmapBytes*(TPersistent&)> GetBitmap;

  bool HasSetter() const;
  // The member with that name (case ignored), or -1.
  int32_t MemberIndex(std::string_view name) const;
};

using TKVFactory = std::function<std::unique_ptr<TPersistent>()>;

// The description of one reflectable class. Lives in static storage; the registry keeps pointers to it.
struct TKVClassInfo {
  std::string Name;
  const TKVClassInfo* Parent = nullptr;
  TKVFactory Create;                   // empty for abstract classes
  std::vector<TKVPropInfo> Properties; // this class's own, in declaration order

  bool InheritsFrom(const TKVClassInfo& other) const;
};

// The root of every reflectable class (the platform's persistent object).
class TPersistent {
public:
  TPersistent() = default;
  virtual ~TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;

  static const TKVClassInfo& StaticClassInfo();
  virtual const TKVClassInfo& ClassInfo() const { return StaticClassInfo(); }
  const std::string& ClassName() const { return ClassInfo().Name; }

  // Every published property in class order: the parent's first.
  std::vector<const TKVPropInfo*> PublishedProperties() const;
  // The published property with that name (case ignored), or null.
  const TKVPropInfo* FindProperty(std::string_view name) const;

  // Reflection names: the name-space prefix of this object's element (empty: the writer's default), the name
  // of its element as a list item (empty: the class name), and a prefix for the element of one of its own
  // properties (empty: none).
  virtual std::string ReflectionNameSpace() const { return {}; }
  virtual std::string ReflectionName() const { return {}; }
  virtual std::string PropertyNameSpace(const std::string& propertyName) const;
};

// Creates objects from class names. Names compare without regard to case; a later registration of the same
// name replaces the earlier one.
class TKVClassRegistry {
public:
  static TKVClassRegistry& Instance();

  // Returns true so that a unit can register from a namespace-scope initialiser.
  bool Register(const TKVClassInfo& info);
  void Unregister(std::string_view name);
  const TKVClassInfo* Find(std::string_view name) const;
  // Null when the name is not registered or the class is abstract.
  std::unique_ptr<TPersistent> Create(std::string_view name) const;

private:
  TKVClassRegistry() = default;
  std::map<std::string, const TKVClassInfo*> Classes; // by lower-case name
};

// An owning list of items of one class (the platform's collection).
class TCollection : public TPersistent {
public:
  explicit TCollection(const TKVClassInfo& itemClass) : ItemClass(&itemClass) {}

  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Appends a new item of the item class; raises EListError when that class cannot be created.
  TPersistent& Add();
  void Clear() { Items.clear(); }
  void Delete(int32_t index);
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  TPersistent& Item(int32_t index) const;
  const TKVClassInfo& ItemClassInfo() const { return *ItemClass; }

private:
  const TKVClassInfo* ItemClass;
  std::vector<std::unique_ptr<TPersistent>> Items;
};

// The persistent base with a virtual constructor: the registry's factory builds each class with its own
// constructor, so Create(name) gives an object of exactly the named class.
class TKVObject : public TPersistent {
public:
  static const TKVClassInfo& StaticClassInfo();
  const TKVClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Interfaces are found through the object's type; this query answers for none.
  virtual void* QueryInterface(std::string_view guid);
  // A new object of the registered class of that name when it is a TKVObject descendant; null otherwise.
  static std::unique_ptr<TKVObject> Create(std::string_view className);
};

// Implemented by objects that store themselves as one stream (the XML holds it zlib-compressed in "Data").
class IStreamStorage {
public:
  static constexpr std::string_view GUID = "{B030DDF3-2869-4700-B8B9-34615C1E66A5}";
  virtual ~IStreamStorage() = default;
  virtual void SaveToStream(TStream& stream) const = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
};

// Optional hooks asked before an object property's value is read or written; clearing proceed skips the
// default handling of that element.
class IReflectionReadHook {
public:
  static constexpr std::string_view GUID = "{C030DDF3-2869-4700-B8B9-34615C1E66A6}";
  virtual ~IReflectionReadHook() = default;
  virtual void BeforeReflectionRead(TPersistent& object, const pugi::xml_node& element, bool& proceed) = 0;
};
class IReflectionWriteHook {
public:
  static constexpr std::string_view GUID = "{D030DDF3-2869-4700-B8B9-34615C1E66A6}";
  virtual ~IReflectionWriteHook() = default;
  virtual void BeforeReflectionWrite(TPersistent& object, const pugi::xml_node& element, bool& proceed) = 0;
};

// ---- helpers to describe properties

template <class T> TKVFactory MakeFactory() {
  return [] { return std::unique_ptr<TPersistent>(std::make_unique<T>()); };
}

template <class T>
TKVPropInfo IntegerProperty(std::string name, std::function<int32_t(const T&)> get,
                            std::function<void(T&, int32_t)> set = {}) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkInteger;
  p.GetInt = [get](const TPersistent& o) { return get(static_cast<const T&>(o)); };
  if (set) p.SetInt = [set](TPersistent& o, int32_t v) { set(static_cast<T&>(o), v); };
  return p;
}

template <class T> TKVPropInfo IntegerProperty(std::string name, int32_t T::*field) {
  return IntegerProperty<T>(
      std::move(name), [field](const T& o) { return o.*field; }, [field](T& o, int32_t v) { o.*field = v; });
}

// Enumeration and set properties carry their member names; a set's value is a bit mask by member ordinal.
template <class T>
TKVPropInfo OrdinalProperty(std::string name, TKVPropertyKind kind, std::vector<std::string> members,
                            std::function<int32_t(const T&)> get, std::function<void(T&, int32_t)> set = {}) {
  TKVPropInfo p = IntegerProperty<T>(std::move(name), std::move(get), std::move(set));
  p.Kind = kind;
  p.Members = std::move(members);
  return p;
}

template <class T>
TKVPropInfo StringProperty(std::string name, std::function<std::string(const T&)> get,
                           std::function<void(T&, const std::string&)> set = {}) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkString;
  p.GetString = [get](const TPersistent& o) { return get(static_cast<const T&>(o)); };
  if (set) p.SetString = [set](TPersistent& o, const std::string& v) { set(static_cast<T&>(o), v); };
  return p;
}

template <class T> TKVPropInfo StringProperty(std::string name, std::string T::*field) {
  return StringProperty<T>(
      std::move(name), [field](const T& o) { return o.*field; },
      [field](T& o, const std::string& v) { o.*field = v; });
}

// An object property. Without a setter it is read-only: XML fills the object in place but never replaces it.
template <class T>
TKVPropInfo ObjectProperty(std::string name, TKVObjectKind kind, std::function<TPersistent*(T&)> get,
                           std::function<bool(T&, std::unique_ptr<TPersistent>)> set = {}) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkObject;
  p.ObjectKind = kind;
  p.GetObject = [get](TPersistent& o) { return get(static_cast<T&>(o)); };
  if (set)
    p.SetObject = [set](TPersistent& o, std::unique_ptr<TPersistent> v) {
      return set(static_cast<T&>(o), std::move(v));
    };
  return p;
}

// An owned object property held in a unique_ptr: accepts objects of class V (or none).
template <class T, class V>
TKVPropInfo OwnedObjectProperty(std::string name, std::unique_ptr<V> T::*field,
                                TKVObjectKind kind = TKVObjectKind::okObject) {
  return ObjectProperty<T>(
      std::move(name), kind, [field](T& o) -> TPersistent* { return (o.*field).get(); },
      [field](T& o, std::unique_ptr<TPersistent> v) {
        if (!v) {
          (o.*field).reset();
          return true;
        }
        auto* typed = dynamic_cast<V*>(v.get());
        if (!typed) return false;
        v.release();
        (o.*field).reset(typed);
        return true;
      });
}

template <class T> TKVPropInfo StringListProperty(std::string name, std::vector<std::string> T::*field) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkObject;
  p.ObjectKind = TKVObjectKind::okStringList;
  p.GetStrings = [field](TPersistent& o) { return &(static_cast<T&>(o).*field); };
  return p;
}

template <class T> TKVPropInfo StreamProperty(std::string name, TMemoryStream T::*field) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkObject;
  p.ObjectKind = TKVObjectKind::okStream;
  p.GetStream = [field](TPersistent& o) { return &(static_cast<T&>(o).*field); };
  return p;
}

// kind: okBitmap or okBitmap32.
template <class T>
TKVPropInfo BitmapProperty(std::string name, TKVObjectKind kind, TKVBitmapBytes T::*field) {
  TKVPropInfo p;
  p.Name = std::move(name);
  p.Kind = TKVPropertyKind::pkObject;
  p.ObjectKind = kind;
  p.GetBitmap = [field](TPersistent& o) { return &(static_cast<T&>(o).*field); };
  return p;
}

} // namespace kv
