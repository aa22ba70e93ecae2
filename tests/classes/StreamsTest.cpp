// File streams replace a file only when the new content is complete.
#include "classes/Streams.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

std::string Contents(const std::string &AFileName) {
  std::ifstream File(AFileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(File), {});
}

void Put(const std::string &AFileName, const std::string &AText) {
  std::ofstream(AFileName, std::ios::binary) << AText;
}

} // namespace

TEST(FileStream, CreateReplacesTheFileOnlyOnCommit) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const std::string Name = Folder.filePath("a.bin").toStdString();
  Put(Name, "old content");
  {
    TFileStream Stream(Name, TFileMode::fmCreate);
    Stream.Write("new", 3);
    EXPECT_EQ(Contents(Name), "old content");
    EXPECT_EQ(Stream.Position(), 3);
    Stream.Commit();
  }
  EXPECT_EQ(Contents(Name), "new");
  {
    // Abandoned half-way, as an exception would leave it.
    TFileStream Stream(Name, TFileMode::fmCreate);
    Stream.Write("partial", 7);
  }
  EXPECT_EQ(Contents(Name), "new");
  // No temporary file stays behind either way.
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files).size(), 1);
}

TEST(FileStream, ReadsWhatIsThereAndReportsMissingFiles) {
  QTemporaryDir Folder;
  const std::string Name = Folder.filePath("b.bin").toStdString();
  Put(Name, "hello");
  TFileStream Stream(Name, TFileMode::fmOpenRead);
  EXPECT_EQ(Stream.Size(), 5);
  char Buffer[10];
  EXPECT_EQ(Stream.Read(Buffer, 10), 5u);
  EXPECT_EQ(std::string(Buffer, 5), "hello");
  EXPECT_EQ(Stream.Read(Buffer, 10), 0u);
  EXPECT_THROW(Stream.Write("x", 1), EWriteError);

  EXPECT_THROW(TFileStream(Folder.filePath("none").toStdString(), TFileMode::fmOpenRead),
               EFOpenError);
  EXPECT_THROW(TFileStream(Folder.filePath("no/such/dir/c").toStdString(), TFileMode::fmCreate),
               EFCreateError);
}

TEST(MemoryStream, WritesGrowAndReadsStopAtTheEnd) {
  TMemoryStream Stream;
  Stream.Write("abc", 3);
  Stream.Write("de", 2);
  EXPECT_EQ(Stream.Size(), 5);
  Stream.Rewind();
  char Buffer[8];
  EXPECT_EQ(Stream.Read(Buffer, 8), 5u);
  EXPECT_EQ(std::string(Buffer, 5), "abcde");

  TReadOnlyMemoryStream Fixed("xyz", 3);
  EXPECT_EQ(Fixed.Read(Buffer, 2), 2u);
  EXPECT_EQ(Fixed.Remaining(), 1);
  EXPECT_EQ(Fixed.Read(Buffer, 2), 1u);
  EXPECT_THROW(Fixed.Write("a", 1), EWriteError);
}
