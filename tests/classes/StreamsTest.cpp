// File streams replace a file only when the new content is complete.
#include "classes/Streams.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Contents(const std::string &AFileName) {
  std::ifstream File(AFileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(File), {});
}

void Put(const std::string &AFileName, const std::string &AText) {
  std::ofstream(AFileName, std::ios::binary) << AText;
}

// Keeps a folder from getting new entries for its lifetime, while its files stay writable. The
// superuser ignores permissions, so for it the folder is made immutable instead.
class TLockedFolder {
public:
  explicit TLockedFolder(const std::string &APath) : FPath(APath) {
    if (geteuid() != 0) {
      FLocked = chmod(FPath.c_str(), 0555) == 0;
      return;
    }
    FHandle = open(FPath.c_str(), O_RDONLY | O_DIRECTORY);
    int Flags = 0;
    if (FHandle >= 0 && ioctl(FHandle, FS_IOC_GETFLAGS, &Flags) == 0) {
      Flags |= FS_IMMUTABLE_FL;
      FLocked = ioctl(FHandle, FS_IOC_SETFLAGS, &Flags) == 0;
    }
  }
  ~TLockedFolder() {
    if (geteuid() != 0) {
      chmod(FPath.c_str(), 0755);
    } else if (FHandle >= 0) {
      int Flags = 0;
      if (ioctl(FHandle, FS_IOC_GETFLAGS, &Flags) == 0) {
        Flags &= ~FS_IMMUTABLE_FL;
        ioctl(FHandle, FS_IOC_SETFLAGS, &Flags);
      }
      close(FHandle);
    }
  }
  bool Locked() const { return FLocked; }

private:
  std::string FPath;
  int FHandle = -1;
  bool FLocked = false;
};

} // namespace

TEST(FileStream, ReadOnlyFolderStillSavesItsWritableFileInPlace) {
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  const std::string Name = Folder.filePath("tessaly.cfg").toStdString();
  const std::string Missing = Folder.filePath("new.cfg").toStdString();
  Put(Name, "the old, longer content");
  TLockedFolder Lock(Folder.path().toStdString());
  if (!Lock.Locked())
    GTEST_SKIP() << "this file system cannot lock a folder";
  {
    TFileStream Stream(Name, TFileMode::fmCreate);
    Stream.Write("new ", 4);
    Stream.Write("content", 7);
    EXPECT_EQ(Stream.Position(), 11);
    EXPECT_EQ(Stream.Size(), 11);
    EXPECT_EQ(Contents(Name), "the old, longer content"); // nothing before Commit
    Stream.Commit();
  }
  EXPECT_EQ(Contents(Name), "new content");
  {
    // Abandoned before Commit: the file is as it was.
    TFileStream Stream(Name, TFileMode::fmCreate);
    Stream.Write("partial", 7);
  }
  EXPECT_EQ(Contents(Name), "new content");
  // A file that is not there cannot be written in place: only then creating fails.
  EXPECT_THROW(TFileStream(Missing, TFileMode::fmCreate), EFCreateError);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(Missing)));
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

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

// A file of two names stays one file through a save: written in place after a backup copy that
// goes once the write is done, and stays (named in the error) when it is not. A file of one name
// is replaced whole and keeps its permissions.
TEST(FileStream, SaveKeepsHardLinksAndPermissions) {
  QTemporaryDir Root;
  const QString Folder = Root.filePath(QString::fromUtf8("Pr\u00fcfung"));
  ASSERT_TRUE(QDir().mkpath(Folder));
  const std::string Base = FileNameFromQString(Folder) + "/";
  const std::string Name = Base + "a.sql", Other = Base + "b.sql";
  Put(Name, "old content");
  ASSERT_EQ(link(Name.c_str(), Other.c_str()), 0);
  auto Save = [](const std::string &AName, const std::string &AText) {
    TFileStream Stream(AName, TFileMode::fmCreate);
    Stream.Write(AText.data(), AText.size());
    Stream.Commit();
  };
  struct stat Before, After;
  ASSERT_EQ(stat(Name.c_str(), &Before), 0);
  Save(Name, "new content, longer");
  ASSERT_EQ(stat(Name.c_str(), &After), 0);
  EXPECT_EQ(After.st_ino, Before.st_ino);
  EXPECT_EQ(After.st_nlink, 2u);
  EXPECT_EQ(Contents(Other), "new content, longer");
  EXPECT_EQ(QDir(Folder).entryList(QDir::Files | QDir::Hidden).size(), 2); // no backup left

  // A write that fails half-way (the file size limit stands in for a full disk): the old
  // content is put back and the backup copy stays, named in the error.
  struct rlimit Limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &Limit), 0);
  const auto OldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit Small = Limit;
  Small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
  std::string Message;
  try {
    Save(Other, std::string(1000, 'x'));
  } catch (const EWriteError &E) {
    Message = E.Message();
  }
  setrlimit(RLIMIT_FSIZE, &Limit);
  signal(SIGXFSZ, OldHandler);
  EXPECT_EQ(Contents(Name), "new content, longer");
  const QStringList Backups = QDir(Folder).entryList({"b.sql~*"}, QDir::Files | QDir::Hidden);
  ASSERT_EQ(Backups.size(), 1);
  const std::string Backup = Base + FileNameFromQString(Backups[0]);
  EXPECT_EQ(Contents(Backup), "new content, longer");
  EXPECT_EQ(Message, "Cannot write file " + Other + "; its old content is kept in " + Backup);

  // One name: replaced, with the permissions it had.
  const std::string Single = Base + "c.sql";
  Put(Single, "x");
  ASSERT_EQ(chmod(Single.c_str(), 0604), 0);
  Save(Single, "y");
  ASSERT_EQ(stat(Single.c_str(), &After), 0);
  EXPECT_EQ(After.st_mode & 0777, 0604u);
  EXPECT_EQ(Contents(Single), "y");
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

// Only a regular file is opened for reading: a FIFO would wait for a writer, a device might never
// end. The test holds the FIFO's other end, so a plain open would not wait here.
TEST(FileStream, ReadingRefusesWhatIsNoRegularFile) {
  QTemporaryDir Root;
  const QString Folder = Root.filePath(QString::fromUtf8("Pr\u00fcfung"));
  ASSERT_TRUE(QDir().mkpath(Folder));
  const std::string Base = FileNameFromQString(Folder) + "/";
  ASSERT_EQ(mkfifo((Base + "fifo.sql").c_str(), 0600), 0);
  const int Writer = open((Base + "fifo.sql").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(Writer, 0);
  ASSERT_EQ(symlink("/dev/null", (Base + "null.sql").c_str()), 0);
  ASSERT_EQ(symlink("fifo.sql", (Base + "link.sql").c_str()), 0);
  for (const std::string &Name :
       {Base + "fifo.sql", Base + "null.sql", Base + "link.sql", Base.substr(0, Base.size() - 1)}) {
    try {
      TFileStream Stream(Name, TFileMode::fmOpenRead);
      ADD_FAILURE() << Name << " was opened";
    } catch (const EFOpenError &E) {
      EXPECT_EQ(E.Message(), "Cannot open file " + Name);
    }
    EXPECT_TRUE(FileExists(Name));
  }
  close(Writer);
  Put(Base + "plain.sql", "x");
  EXPECT_EQ(TFileStream(Base + "plain.sql", TFileMode::fmOpenRead).Size(), 1);
  EXPECT_FALSE(FileExists(Base + "none.sql"));
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
