// Any statement text: the parameter scan finds only well-formed names that the text really
// holds after a colon, never twice, and every value written to them stays within its row.
#include "db/OciApi.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <strings.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *AData, std::size_t ASize) {
  const std::string Text(reinterpret_cast<const char *>(AData), ASize);
  TOracleQuery Query;
  Query.SetSQL(Text);
  TParams List(nullptr, &TOracleParam::Create);
  Query.ParseParams(List);
  for (int i = 0; i < List.Count(); ++i) {
    TParam *Item = List.Items(i);
    const std::string &Name = Item->ParamName();
    if (Name.empty() || Text.find(":" + Name) == std::string::npos)
      std::abort();
    for (char C : Name)
      if (!((C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'))
        std::abort();
    for (int j = 0; j < i; ++j)
      if (strcasecmp(List.Items(j)->ParamName().c_str(), Name.c_str()) == 0)
        std::abort();
    // The text itself as a value, through a row the name's length picks.
    Item->SetDimension(1 + static_cast<int>(Name.size() % 4));
    Item->SetItemSize(static_cast<int>(Name.size() * 7 % 64));
    try {
      Item->SetRowAsString(static_cast<int>(Name.size() % 5), Text.substr(0, 80));
      if (Item->RowAsString(static_cast<int>(Name.size() % 5)) != Text.substr(0, 80))
        std::abort();
    } catch (const EDbInterface &) {
      // too long for the row, a row outside the dimension, or no buffers for size 0
    }
  }
  return 0;
}
