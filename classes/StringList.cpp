// Name=value access on a list of lines.
#include "classes/StringList.h"

#include <strings.h>

int TStringList::IndexOfName(const std::string &AName) const {
  for (size_t i = 0; i < FLines.size(); ++i) {
    const std::string &Line = FLines[i];
    size_t Eq = Line.find('=');
    if (Eq != std::string::npos && Eq == AName.size() &&
        strncasecmp(Line.data(), AName.data(), Eq) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Value(const std::string &AName) const {
  int Index = IndexOfName(AName);
  if (Index < 0)
    return {};
  const std::string &Line = FLines[Index];
  return Line.substr(Line.find('=') + 1);
}

void TStringList::SetValue(const std::string &AName, const std::string &AValue) {
  int Index = IndexOfName(AName);
  if (AValue.empty()) {
    if (Index >= 0)
      Delete(Index);
  } else if (Index >= 0) {
    FLines[Index] = AName + "=" + AValue;
  } else {
    Add(AName + "=" + AValue);
  }
}
