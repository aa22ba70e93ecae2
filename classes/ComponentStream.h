// The binary component stream: published-property descriptions, and the writer and reader
// that turn a component (with its child components) into a "TPF0" record and back.
#pragma once

#include "classes/Graphics.h"
#include "classes/ValueStream.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// What a published property holds, and so how it streams:
//   Integer      tags 2/3/4          Boolean    tags 8/9
//   String       tags 6/12           Enumeration  tag 7, an identifier from Names
//   Color        tag 7 for a named colour, else an integer
//   Set          tag 11, element identifiers from Names (bit i = Names[i]), ended by 0
//   Object       sub-properties under dotted names ("EditorFont.Name")
//   Collection   tag 14, per item tag 1, its properties, 0; a final 0
//   Custom       a property of its own encoding (a string list, for instance); the class
//                writes and reads the value itself, tag included
//   Binary       tag 10, a 32-bit length and a block the class fills and parses itself from
//                a stream of its own (a parameter list's "D": item count, then the items)
enum class TPropertyKind {
  Integer,
  Boolean,
  String,
  Enumeration,
  Color,
  Set,
  Object,
  Collection,
  Custom,
  Binary
};

class TClassProperties;

// One published property. Accessors work on the object the description belongs to, passed as
// void*; TClassProperties::Of<T> builds them type-safely from member functions.
struct TPropertyInfo {
  std::string Name;
  TPropertyKind Kind = TPropertyKind::Integer;
  // Never written when false (still readable, as an older file may hold it).
  bool Stored = true;

  // Ordinal kinds (Integer, Boolean, Enumeration, Color, Set): the value as an integer.
  std::function<std::int64_t(const void *)> GetOrdinal;
  std::function<void(void *, std::int64_t)> SetOrdinal;
  std::optional<std::int64_t> OrdinalDefault;            // no default: always written
  std::int64_t Minimum = INT32_MIN, Maximum = INT32_MAX; // Integer range accepted when read
  std::vector<std::string> Names; // Enumeration values by ordinal; Set elements by bit

  // String.
  std::function<std::string(const void *)> GetString;
  std::function<void(void *, const std::string &)> SetString;
  std::optional<std::string> StringDefault;

  // Object: the sub-object and its class. A sub-property is written when it differs from the
  // same sub-property of DefaultObject (the owner's initial object), or from its own class
  // default when there is no DefaultObject. ModifyObject hands a copy of the sub-object to
  // the callback and stores it back through the owner's setter.
  std::function<const void *(const void *)> GetObject;
  std::function<void(void *, const std::function<void(void *)> &)> ModifyObject;
  const TClassProperties *ObjectClass = nullptr;
  std::function<const void *()> DefaultObject;

  // Collection: items described by ItemClass; IsDefault says the collection as a whole equals
  // its initial content and need not be written. ReplaceItems gives the callback a function
  // that appends a new default item to a fresh collection, which then replaces the old one
  // through the owner's setter.
  std::function<std::size_t(const void *)> Count;
  std::function<const void *(const void *, std::size_t)> Item;
  std::function<void(void *, const std::function<void(const std::function<void *()> &)> &)>
      ReplaceItems;
  const TClassProperties *ItemClass = nullptr;
  std::function<bool(const void *)> IsDefault;

  // Custom and Binary: HasData decides whether the property is written at all.
  std::function<bool(const void *)> HasData;
  std::function<void(TValueWriter &, const void *)> WriteData;
  std::function<void(TValueReader &, void *)> ReadData;
  // Binary: the block is written to and read from a memory stream; the reader may not trust
  // the block any more than the file it came from.
  std::function<void(TStream &, const void *)> WriteBinaryData;
  std::function<void(TStream &, void *)> ReadBinaryData;
};

// The published properties of one class, described once and shared by all its objects.
class TClassProperties {
public:
  explicit TClassProperties(std::string AClassName) : FClassName(std::move(AClassName)) {}

  const std::string &ClassName() const { return FClassName; }
  const std::vector<TPropertyInfo> &Properties() const { return FProperties; }
  const TPropertyInfo *Find(const std::string &AName) const;
  TPropertyInfo &Add(TPropertyInfo AInfo);

  // Type-safe builders for a class T; each returns the new entry for further settings
  // (Stored, Minimum, ...).
  template <class T> class Of;

private:
  std::string FClassName;
  std::vector<TPropertyInfo> FProperties;
};

template <class T> class TClassProperties::Of {
public:
  explicit Of(TClassProperties &AClass) : FClass(AClass) {}

  template <class V>
  TPropertyInfo &Integer(std::string AName, V (T::*AGet)() const, void (T::*ASet)(V),
                         std::optional<std::int64_t> ADefault) {
    return Ordinal(std::move(AName), TPropertyKind::Integer, AGet, ASet, ADefault);
  }
  TPropertyInfo &Boolean(std::string AName, bool (T::*AGet)() const, void (T::*ASet)(bool),
                         bool ADefault) {
    return Ordinal(std::move(AName), TPropertyKind::Boolean, AGet, ASet, ADefault);
  }
  TPropertyInfo &Color(std::string AName, TColor (T::*AGet)() const, void (T::*ASet)(TColor),
                       std::optional<TColor> ADefault) {
    std::optional<std::int64_t> Default;
    if (ADefault)
      Default = *ADefault;
    return Ordinal(std::move(AName), TPropertyKind::Color, AGet, ASet, Default);
  }
  template <class V>
  TPropertyInfo &Enumeration(std::string AName, V (T::*AGet)() const, void (T::*ASet)(V),
                             std::vector<std::string> ANames, std::optional<V> ADefault) {
    std::optional<std::int64_t> Default;
    if (ADefault)
      Default = std::int64_t(*ADefault);
    TPropertyInfo &Info =
        Ordinal(std::move(AName), TPropertyKind::Enumeration, AGet, ASet, Default);
    Info.Names = std::move(ANames);
    return Info;
  }
  template <class V>
  TPropertyInfo &Set(std::string AName, V (T::*AGet)() const, void (T::*ASet)(V),
                     std::vector<std::string> ANames, V ADefault) {
    TPropertyInfo &Info =
        Ordinal(std::move(AName), TPropertyKind::Set, AGet, ASet, std::int64_t(ADefault));
    Info.Names = std::move(ANames);
    return Info;
  }
  template <class S>
  TPropertyInfo &String(std::string AName, S (T::*AGet)() const,
                        void (T::*ASet)(const std::string &), std::optional<std::string> ADefault) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = TPropertyKind::String;
    Info.GetString = [AGet](const void *O) {
      return std::string((static_cast<const T *>(O)->*AGet)());
    };
    Info.SetString = [ASet](void *O, const std::string &V) { (static_cast<T *>(O)->*ASet)(V); };
    Info.StringDefault = std::move(ADefault);
    return FClass.Add(std::move(Info));
  }
  template <class O>
  TPropertyInfo &Object(std::string AName, const O &(T::*AGet)() const, void (T::*ASet)(const O &),
                        const TClassProperties &AObjectClass,
                        std::function<const O *()> ADefaultObject) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = TPropertyKind::Object;
    Info.GetObject = [AGet](const void *P) -> const void * {
      return &(static_cast<const T *>(P)->*AGet)();
    };
    Info.ModifyObject = [AGet, ASet](void *P, const std::function<void(void *)> &AChange) {
      O Copy = (static_cast<const T *>(P)->*AGet)();
      AChange(&Copy);
      (static_cast<T *>(P)->*ASet)(Copy);
    };
    Info.ObjectClass = &AObjectClass;
    if (ADefaultObject)
      Info.DefaultObject = [ADefaultObject]() -> const void * { return ADefaultObject(); };
    return FClass.Add(std::move(Info));
  }
  // A collection held in a std::vector-like container.
  template <class C>
  TPropertyInfo &Collection(std::string AName, const C &(T::*AGet)() const,
                            void (T::*ASet)(const C &), const TClassProperties &AItemClass,
                            std::function<bool(const C &)> AIsDefault) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = TPropertyKind::Collection;
    Info.Count = [AGet](const void *P) {
      return std::size_t((static_cast<const T *>(P)->*AGet)().size());
    };
    Info.Item = [AGet](const void *P, std::size_t I) -> const void * {
      return &(static_cast<const T *>(P)->*AGet)()[I];
    };
    Info.ReplaceItems = [ASet](void *P,
                               const std::function<void(const std::function<void *()> &)> &AFill) {
      C Items;
      AFill([&Items]() -> void * { return &Items.emplace_back(); });
      (static_cast<T *>(P)->*ASet)(Items);
    };
    Info.ItemClass = &AItemClass;
    if (AIsDefault)
      Info.IsDefault = [AGet, AIsDefault](const void *P) {
        return AIsDefault((static_cast<const T *>(P)->*AGet)());
      };
    return FClass.Add(std::move(Info));
  }
  // A property with its own encoding; the callbacks write and read the whole value.
  TPropertyInfo &Custom(std::string AName, std::function<bool(const T &)> AHasData,
                        std::function<void(TValueWriter &, const T &)> AWrite,
                        std::function<void(TValueReader &, T &)> ARead) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = TPropertyKind::Custom;
    Info.HasData = [AHasData](const void *P) { return AHasData(*static_cast<const T *>(P)); };
    Info.WriteData = [AWrite](TValueWriter &W, const void *P) {
      AWrite(W, *static_cast<const T *>(P));
    };
    Info.ReadData = [ARead](TValueReader &R, void *P) { ARead(R, *static_cast<T *>(P)); };
    return FClass.Add(std::move(Info));
  }
  // A binary property; the callbacks write and read the block's content.
  TPropertyInfo &Binary(std::string AName, std::function<bool(const T &)> AHasData,
                        std::function<void(TStream &, const T &)> AWrite,
                        std::function<void(TStream &, T &)> ARead) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = TPropertyKind::Binary;
    Info.HasData = [AHasData](const void *P) { return AHasData(*static_cast<const T *>(P)); };
    Info.WriteBinaryData = [AWrite](TStream &S, const void *P) {
      AWrite(S, *static_cast<const T *>(P));
    };
    Info.ReadBinaryData = [ARead](TStream &S, void *P) { ARead(S, *static_cast<T *>(P)); };
    return FClass.Add(std::move(Info));
  }

private:
  template <class G, class S>
  TPropertyInfo &Ordinal(std::string AName, TPropertyKind AKind, G AGet, S ASet,
                         std::optional<std::int64_t> ADefault) {
    TPropertyInfo Info;
    Info.Name = std::move(AName);
    Info.Kind = AKind;
    Info.GetOrdinal = [AGet](const void *O) {
      return std::int64_t((static_cast<const T *>(O)->*AGet)());
    };
    Info.SetOrdinal = [ASet](void *O, std::int64_t V) {
      using TArg = decltype(ArgumentOf(ASet));
      (static_cast<T *>(O)->*ASet)(static_cast<TArg>(V));
    };
    Info.OrdinalDefault = ADefault;
    return FClass.Add(std::move(Info));
  }
  template <class V> static V ArgumentOf(void (T::*)(V));

  TClassProperties &FClass;
};

// The standard colour names: the sixteen basic colours, clNone, clDefault and the system
// colours clScrollBar ... clInfoBk (0x80000000 + 0 ... 24).
std::optional<std::string> ColorToIdent(TColor AColor);
std::optional<TColor> IdentToColor(const std::string &AIdent);

// One record of the component stream: what to stream and where its values live. Children
// are matched by component name when read.
struct TComponentRecord {
  std::string ClassName;
  std::string Name;
  void *Object = nullptr;
  const TClassProperties *Class = nullptr;
  std::vector<TComponentRecord> Children;
};

// Writes a component record: class name, component name, the properties that differ from
// their defaults, a 0 byte, the children, a 0 byte.
class TComponentWriter {
public:
  explicit TComponentWriter(TValueWriter &AWriter) : FWriter(AWriter) {}
  // The signature "TPF0" followed by the record.
  void WriteRootComponent(const TComponentRecord &ARecord);
  void WriteComponent(const TComponentRecord &ARecord);
  void WriteProperties(const void *AObject, const TClassProperties &AClass);

private:
  void WriteProperty(const std::string &APrefix, const void *AObject, const TPropertyInfo &AInfo,
                     const void *ADefaultObject);
  void WriteValueOf(const void *AObject, const TPropertyInfo &AInfo);

  TValueWriter &FWriter;
};

// Reads a component record into the objects of an expected record. Anything the classes do
// not describe (another class name, an unknown property or child, a value of the wrong kind
// or out of range, a truncated record) raises EReadError. The objects may be partly
// changed when it does; callers read into fresh objects and keep them only on success.
class TComponentReader {
public:
  explicit TComponentReader(TValueReader &AReader) : FReader(AReader) {}
  void ReadRootComponent(const TComponentRecord &ARecord);
  void ReadComponent(const TComponentRecord &ARecord);
  // Properties up to and including the 0 byte that ends them.
  void ReadProperties(void *AObject, const TClassProperties &AClass);

private:
  void ReadBody(const TComponentRecord &ARecord);
  void ReadProperty(void *AObject, const TClassProperties &AClass, const std::string &AName);
  void ReadValueInto(void *AObject, const TPropertyInfo &AInfo);

  TValueReader &FReader;
};
