// Byte streams over files and memory.
#include "classes/Streams.h"

#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string FileNameFromQString(const QString &AName) {
  return QFile::encodeName(AName).toStdString();
}

QString FileNameToQString(const std::string &AName) {
  return QFile::decodeName(QByteArray(AName.data(), qsizetype(AName.size())));
}

bool FileExists(const std::string &AName) {
  struct stat Info;
  return ::stat(AName.c_str(), &Info) == 0;
}

namespace {

QString FromBytes(const std::string &AText) { return FileNameToQString(AText); }

// A handle on AFileName for reading, or -1 unless it names a regular file. Opening a FIFO waits
// for a writer, and a device may never end or may act on being opened: neither is touched. The
// open itself does not block, so a name that turns into a FIFO after the check cannot hang it.
int OpenRegularFile(const std::string &AFileName) {
  struct stat Info;
  if (::stat(AFileName.c_str(), &Info) != 0 || !S_ISREG(Info.st_mode))
    return -1;
  const int Handle = ::open(AFileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (Handle < 0)
    return -1;
  const int Flags = ::fcntl(Handle, F_GETFL);
  if (::fstat(Handle, &Info) != 0 || !S_ISREG(Info.st_mode) || Flags < 0 ||
      ::fcntl(Handle, F_SETFL, Flags & ~O_NONBLOCK) != 0) {
    ::close(Handle);
    return -1;
  }
  return Handle;
}

} // namespace

TFileStream::TFileStream(const std::string &AFileName, TFileMode AMode) : FFileName(AFileName) {
  if (AMode == TFileMode::fmOpenRead) {
    const int Handle = OpenRegularFile(AFileName);
    FReadFile = std::make_unique<QFile>();
    if (Handle < 0 || !FReadFile->open(Handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
      if (Handle >= 0)
        ::close(Handle);
      throw EFOpenError("Cannot open file " + AFileName);
    }
  } else {
    // A file of several names (hard links) keeps them only when written in place: the rename
    // would give this name a new file and leave the others on the old content.
    struct stat Info;
    const bool Linked =
        ::stat(AFileName.c_str(), &Info) == 0 && S_ISREG(Info.st_mode) && Info.st_nlink > 1;
    if (!Linked) {
      FSaveFile = std::make_unique<QSaveFile>(FromBytes(AFileName));
      // Qt's own fallback would truncate the file at once; ours waits for a complete content.
      FSaveFile->setDirectWriteFallback(false);
      if (FSaveFile->open(QIODevice::WriteOnly))
        return;
      FSaveFile.reset();
    }
    // Opened for writing without truncating: this only proves the file may be written. No
    // buffer: a write that failed must not stay pending in front of putting the old content back.
    auto File = std::make_unique<QFile>(FromBytes(AFileName));
    if (!File->exists() || !File->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
      throw EFCreateError("Cannot create file " + AFileName);
    FInPlaceFile = std::move(File);
  }
}

TFileStream::~TFileStream() {
  if (FSaveFile)
    FSaveFile->cancelWriting();
}

namespace {

bool WriteWhole(QFile &AFile, const QByteArray &AContent) {
  return AFile.seek(0) && AFile.write(AContent) == AContent.size() && AFile.flush() &&
         AFile.resize(AContent.size()) && ::fsync(AFile.handle()) == 0;
}

// A copy of a file's old content beside it, under a name of its own (never one a user may
// have); its name, or nothing when none could be made (a folder that takes no new files).
std::string WriteBackup(const std::string &AFileName, const QByteArray &AContent) {
  QTemporaryFile Backup(FromBytes(AFileName + "~XXXXXX"));
  Backup.setAutoRemove(false);
  if (!Backup.open())
    return {};
  const std::string Name = FileNameFromQString(Backup.fileName());
  if (!WriteWhole(Backup, AContent)) {
    Backup.remove();
    return {};
  }
  return Name;
}

} // namespace

std::size_t TFileStream::Read(void *ABuffer, std::size_t ACount) {
  if (!FReadFile)
    throw EReadError("Stream read error");
  qint64 Count = FReadFile->read(static_cast<char *>(ABuffer), qint64(ACount));
  if (Count < 0)
    throw EReadError("Stream read error");
  return std::size_t(Count);
}

void TFileStream::Write(const void *ABuffer, std::size_t ACount) {
  if (FInPlaceFile) {
    const auto *Bytes = static_cast<const std::uint8_t *>(ABuffer);
    FInPlaceContent.insert(FInPlaceContent.end(), Bytes, Bytes + ACount);
    return;
  }
  if (!FSaveFile)
    throw EWriteError("Stream write error");
  if (FSaveFile->write(static_cast<const char *>(ABuffer), qint64(ACount)) != qint64(ACount))
    throw EWriteError("Stream write error");
}

std::int64_t TFileStream::Size() const {
  if (FInPlaceFile)
    return std::int64_t(FInPlaceContent.size());
  return FReadFile ? FReadFile->size() : FSaveFile->size();
}

std::int64_t TFileStream::Position() const {
  if (FInPlaceFile)
    return std::int64_t(FInPlaceContent.size());
  return FReadFile ? FReadFile->pos() : FSaveFile->pos();
}

void TFileStream::Commit() {
  if (FInPlaceFile) {
    struct TDone {
      TFileStream &Stream;
      ~TDone() {
        Stream.FInPlaceFile.reset();
        Stream.FInPlaceContent.clear();
      }
    } Done{*this};
    QFile &File = *FInPlaceFile;
    // The old content is read whole before anything is written, or nothing is written.
    if (!File.seek(0))
      throw EWriteError("Cannot write file " + FFileName);
    const QByteArray Old = File.readAll();
    if (Old.size() != File.size())
      throw EWriteError("Cannot write file " + FFileName);
    const QByteArray New(reinterpret_cast<const char *>(FInPlaceContent.data()),
                         qsizetype(FInPlaceContent.size()));
    // As text editors do: a backup copy first, gone once the new content is on the disk.
    const std::string Backup = WriteBackup(FFileName, Old);
    if (!WriteWhole(File, New)) {
      WriteWhole(File, Old); // best effort: a full disk may refuse this too
      throw EWriteError("Cannot write file " + FFileName +
                        (Backup.empty() ? "" : "; its old content is kept in " + Backup));
    }
    if (!Backup.empty())
      ::unlink(Backup.c_str());
    return;
  }
  if (!FSaveFile || !FSaveFile->commit())
    throw EWriteError("Cannot write file " + FFileName);
}

std::size_t TReadOnlyMemoryStream::Read(void *ABuffer, std::size_t ACount) {
  std::size_t Count = std::min(ACount, FSize - FPosition);
  if (Count)
    std::memcpy(ABuffer, FData + FPosition, Count);
  FPosition += Count;
  return Count;
}

void TReadOnlyMemoryStream::Write(const void *, std::size_t) {
  throw EWriteError("Stream write error");
}

std::size_t TMemoryStream::Read(void *ABuffer, std::size_t ACount) {
  std::size_t Count = std::min(ACount, FBytes.size() - FPosition);
  if (Count)
    std::memcpy(ABuffer, FBytes.data() + FPosition, Count);
  FPosition += Count;
  return Count;
}

void TMemoryStream::Write(const void *ABuffer, std::size_t ACount) {
  const auto *Bytes = static_cast<const std::uint8_t *>(ABuffer);
  if (FPosition + ACount > FBytes.size())
    FBytes.resize(FPosition + ACount);
  std::copy(Bytes, Bytes + ACount, FBytes.begin() + std::ptrdiff_t(FPosition));
  FPosition += ACount;
}
