// Fuzzes ParseExpression over arbitrary bytes: every call advances or ends the script, every
// expression lies inside the text, and a full run ends.
#include "script/ParserUnit.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace {
void Check(bool ACondition) {
  if (!ACondition)
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *AData, size_t ASize) {
  // The first byte picks a starting position, so positions set from outside are covered too.
  std::int32_t StartPos = 1;
  if (ASize > 0) {
    StartPos = static_cast<std::int32_t>(AData[0]) - 8;
    ++AData;
    --ASize;
  }
  // Sized exactly, so the address sanitizer sees a read past the text's terminator.
  std::string Bytes;
  Bytes.reserve(ASize);
  Bytes.assign(reinterpret_cast<const char *>(AData), ASize);
  auto Text = std::make_shared<const std::string>(std::move(Bytes));
  const auto Length = static_cast<std::int32_t>(Text->size());

  TScript Script;
  Script.SetText(*Text);
  TParser Parser(Text);
  Parser.SetPos(StartPos);
  TExpression E;
  E.Script = &Script;
  for (std::int32_t Calls = 0;; ++Calls) {
    Check(Calls <= Length + 2); // each call passes at least one character
    const std::int32_t Before = Parser.Pos();
    Parser.ParseExpression(E);
    if (E.Length == 0) {
      Check(Parser.Pos() > Length);
      break;
    }
    Check(Parser.Pos() > Before);
    Check(E.Start >= 1 && E.Length > 0);
    Check(static_cast<std::int64_t>(E.Start) + E.Length - 1 <= Length);
    Check(ExpressionText(E).size() == static_cast<size_t>(E.Length));
    Check(E.UnitType.empty() || E.UnitType == "PL/SQL" || E.UnitType.starts_with("PROCEDURE") ||
          E.UnitType.starts_with("FUNCTION") || E.UnitType.starts_with("PACKAGE"));
  }

  // The editor's line breaks: every CR is followed by an LF and every LF follows a CR.
  const std::string Lines = EditorLineBreaks(*Text);
  for (size_t I = 0; I < Lines.size(); ++I) {
    if (Lines[I] == '\r')
      Check(I + 1 < Lines.size() && Lines[I + 1] == '\n');
    if (Lines[I] == '\n')
      Check(I > 0 && Lines[I - 1] == '\r');
  }
  return 0;
}
