// Reading and writing script files through the file streams.
#include "windows/EditUnitFile.h"

#include "classes/Streams.h"
#include "controls/PTEditLines.h"

#include <sys/stat.h>

std::string ReadScriptFile(const std::string &AFileName) {
  TFileStream Stream(AFileName, TFileMode::fmOpenRead);
  const std::int64_t Size = Stream.Size();
  std::string Content;
  Content.resize(static_cast<std::size_t>(Size));
  std::size_t Done = 0;
  while (Done < Content.size()) {
    std::size_t Count = Stream.Read(Content.data() + Done, Content.size() - Done);
    if (Count == 0)
      break;
    Done += Count;
  }
  // A file that shrank or failed while being read would give a silently shortened script.
  if (Done != Content.size() || Stream.Position() != Stream.Size())
    throw EReadError("Cannot read file " + AFileName);
  return Content;
}

void WriteScriptFile(const std::string &AFileName, const TEditLines &ALines) {
  TFileStream Stream(AFileName, TFileMode::fmCreate);
  // Lines go out in blocks, so a large script is never copied whole before it is written.
  constexpr std::size_t BlockSize = 1 << 16;
  std::string Block;
  Block.reserve(BlockSize * 2);
  for (int I = 0; I < ALines.Count(); ++I) {
    Block += ALines[I];
    Block += "\r\n";
    if (Block.size() >= BlockSize) {
      Stream.Write(Block.data(), Block.size());
      Block.clear();
    }
  }
  if (!Block.empty())
    Stream.Write(Block.data(), Block.size());
  Stream.Commit();
}

bool SameFile(const std::string &AFileName, const std::string &AOther) {
  struct stat A, B;
  if (::stat(AFileName.c_str(), &A) != 0 || ::stat(AOther.c_str(), &B) != 0)
    return AFileName == AOther;
  return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

std::string ExtractFileName(const std::string &APath) {
  std::string::size_type Slash = APath.find_last_of('/');
  return Slash == std::string::npos ? APath : APath.substr(Slash + 1);
}
