// Published-property descriptions of the data-set components (TOracleQuery, TOracleStoredProc):
// their properties are members of base classes, so the accessors go through the component
// itself rather than through member pointers of another class.
#pragma once

#include "classes/ComponentStream.h"
#include "db/SqlApiParams.h"

#include <functional>
#include <string>

namespace dataset_properties {

template <class Q> Q &Of(void *AObject) { return *static_cast<Q *>(AObject); }
template <class Q> const Q &Of(const void *AObject) { return *static_cast<const Q *>(AObject); }

template <class Q>
TPropertyInfo Text(const char *AName, std::function<std::string(const Q &)> AGet,
                   std::function<void(Q &, const std::string &)> ASet) {
  TPropertyInfo Info;
  Info.Name = AName;
  Info.Kind = TPropertyKind::String;
  Info.GetString = [AGet](const void *Q_) { return AGet(Of<Q>(Q_)); };
  Info.SetString = [ASet](void *Q_, const std::string &V) { ASet(Of<Q>(Q_), V); };
  Info.StringDefault = std::string();
  return Info;
}

// Every flag of the data sets is on by default.
template <class Q>
TPropertyInfo Flag(const char *AName, std::function<bool(const Q &)> AGet,
                   std::function<void(Q &, bool)> ASet) {
  TPropertyInfo Info;
  Info.Name = AName;
  Info.Kind = TPropertyKind::Boolean;
  Info.GetOrdinal = [AGet](const void *Q_) { return std::int64_t(AGet(Of<Q>(Q_))); };
  Info.SetOrdinal = [ASet](void *Q_, std::int64_t V) { ASet(Of<Q>(Q_), V != 0); };
  Info.OrdinalDefault = 1;
  return Info;
}

template <class Q>
TPropertyInfo Integer(const char *AName, std::function<std::int32_t(const Q &)> AGet,
                      std::function<void(Q &, std::int32_t)> ASet, std::int32_t ADefault) {
  TPropertyInfo Info;
  Info.Name = AName;
  Info.Kind = TPropertyKind::Integer;
  Info.GetOrdinal = [AGet](const void *Q_) { return std::int64_t(AGet(Of<Q>(Q_))); };
  Info.SetOrdinal = [ASet](void *Q_, std::int64_t V) {
    ASet(Of<Q>(Q_), static_cast<std::int32_t>(V));
  };
  Info.OrdinalDefault = ADefault;
  return Info;
}

// A list: streamed through the list's own description and changed in place.
template <class Q> TPropertyInfo List(const char *AName, std::function<TParams &(Q &)> AList) {
  TPropertyInfo Info;
  Info.Name = AName;
  Info.Kind = TPropertyKind::Object;
  Info.ObjectClass = &TParams::Properties();
  Info.GetObject = [AList](const void *Q_) -> const void * {
    return &AList(const_cast<Q &>(Of<Q>(Q_)));
  };
  Info.ModifyObject = [AList](void *Q_, const std::function<void(void *)> &AChange) {
    AChange(&AList(Of<Q>(Q_)));
  };
  return Info;
}

} // namespace dataset_properties
