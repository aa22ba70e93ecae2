// Byte streams: the stream contract, file streams that replace a file only when the write is
// complete, and a read-only memory stream.
#pragma once

#include "classes/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QFile;
class QSaveFile;
class QString;

// File names and paths are bytes in the file system's encoding (as the C library and the OCI
// library see them); these two are the only way between them and Qt's strings.
std::string FileNameFromQString(const QString &AName);
QString FileNameToQString(const std::string &AName);
// True when something of any kind (a file, a folder, a FIFO) has this name.
bool FileExists(const std::string &AName);

// Any failure of a stream: opening, creating, reading or writing.
class EStreamError : public Exception {
public:
  using Exception::Exception;
};
class EFOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
// Premature end, a malformed value or a value of the wrong kind.
class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A sequence of bytes read or written from the current position.
class TStream {
public:
  virtual ~TStream() = default;
  // Reads up to ACount bytes; returns how many were read (fewer only at the end).
  virtual std::size_t Read(void *ABuffer, std::size_t ACount) = 0;
  // Writes all ACount bytes or raises EWriteError.
  virtual void Write(const void *ABuffer, std::size_t ACount) = 0;
  virtual std::int64_t Size() const = 0;
  virtual std::int64_t Position() const = 0;
  std::int64_t Remaining() const { return Size() - Position(); }
};

// How a file stream is opened: an existing file read from its start, or a new content that
// replaces the file only on Commit.
enum class TFileMode { fmOpenRead, fmCreate };

// A file stream. fmOpenRead opens only a regular file: a FIFO, a folder or a device raises
// EFOpenError as a missing file does, and never blocks. This is the way every file a user names
// is read. In fmCreate mode the bytes go to a temporary file in the same folder, and
// Commit renames it over the target (with the target's permissions): a failed or interrupted
// save leaves the old file whole. Destroying an uncommitted create stream discards what was
// written.
// A file with more than one name (hard links), or one in a folder where no temporary file can
// be made (a read-only folder holding a writable file), is written in place instead: the bytes
// are kept in memory, and Commit copies the old content to a backup file beside it (when the
// folder allows), writes the new one over the file and removes the backup. Should that write
// fail, the old content is put back as far as the disk allows, the backup stays and the error
// names it. Creating raises EFCreateError only when neither way is open.
class TFileStream : public TStream {
public:
  TFileStream(const std::string &AFileName, TFileMode AMode);
  ~TFileStream() override;
  TFileStream(const TFileStream &) = delete;
  TFileStream &operator=(const TFileStream &) = delete;

  std::size_t Read(void *ABuffer, std::size_t ACount) override;
  void Write(const void *ABuffer, std::size_t ACount) override;
  std::int64_t Size() const override;
  std::int64_t Position() const override;

  // Makes the written content the file's content; raises EWriteError when that fails.
  void Commit();
  const std::string &FileName() const { return FFileName; }

private:
  std::string FFileName;
  std::unique_ptr<QFile> FReadFile;
  std::unique_ptr<QSaveFile> FSaveFile;
  std::unique_ptr<QFile> FInPlaceFile; // open for writing, untouched until Commit
  std::vector<std::uint8_t> FInPlaceContent;
};

// Reads from a block of bytes the stream does not own; writing is refused.
class TReadOnlyMemoryStream : public TStream {
public:
  TReadOnlyMemoryStream(const void *AData, std::size_t ASize)
      : FData(static_cast<const std::uint8_t *>(AData)), FSize(ASize) {}
  std::size_t Read(void *ABuffer, std::size_t ACount) override;
  void Write(const void *, std::size_t) override;
  std::int64_t Size() const override { return std::int64_t(FSize); }
  std::int64_t Position() const override { return std::int64_t(FPosition); }

private:
  const std::uint8_t *FData;
  std::size_t FSize;
  std::size_t FPosition = 0;
};

// A growing in-memory stream, handy for building a content before it goes anywhere.
class TMemoryStream : public TStream {
public:
  std::size_t Read(void *ABuffer, std::size_t ACount) override;
  void Write(const void *ABuffer, std::size_t ACount) override;
  std::int64_t Size() const override { return std::int64_t(FBytes.size()); }
  std::int64_t Position() const override { return std::int64_t(FPosition); }
  void Rewind() { FPosition = 0; }
  const std::vector<std::uint8_t> &Bytes() const { return FBytes; }

private:
  std::vector<std::uint8_t> FBytes;
  std::size_t FPosition = 0;
};
