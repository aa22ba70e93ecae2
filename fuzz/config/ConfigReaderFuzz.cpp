// Feeds arbitrary bytes to the configuration file reader: both component records, every kind
// of property value, and the fall-back to defaults. It must never crash, hang or leak.
#include "app/MainUnitConfig.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *AData, std::size_t ASize) {
  std::vector<std::uint8_t> Content(AData, AData + ASize);
  TCFG CFG;
  TLoginState Login;
  std::vector<std::string> Messages = ReadConfiguration(Content, CFG, Login);
  if (Messages.size() > 2)
    __builtin_trap();
  // What was read must write again and read back to the same values.
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter Components(Writer);
    Components.WriteRootComponent(CFG.StreamRecord());
    Writer.FlushBuffer();
  }
  TCFG Again;
  TReadOnlyMemoryStream Back(Stream.Bytes().data(), Stream.Bytes().size());
  TValueReader Reader(Back);
  TComponentReader(Reader).ReadRootComponent(Again.StreamRecord());
  if (!(Again.EditorFont() == CFG.EditorFont()) ||
      Again.EditorSyntaxStyles() != CFG.EditorSyntaxStyles() ||
      Again.EditorTabSize() != CFG.EditorTabSize() ||
      Again.TerminalBufferLimit() != CFG.TerminalBufferLimit())
    __builtin_trap();
  return 0;
}
