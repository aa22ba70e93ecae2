// Byte streams over files and memory.
#include "classes/Streams.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace {

QString FromBytes(const std::string &AText) {
  return QString::fromLocal8Bit(AText.data(), qsizetype(AText.size()));
}

} // namespace

TFileStream::TFileStream(const std::string &AFileName, TFileMode AMode) : FFileName(AFileName) {
  if (AMode == TFileMode::fmOpenRead) {
    FReadFile = std::make_unique<QFile>(FromBytes(AFileName));
    if (!FReadFile->open(QIODevice::ReadOnly))
      throw EFOpenError("Cannot open file " + AFileName);
  } else {
    FSaveFile = std::make_unique<QSaveFile>(FromBytes(AFileName));
    // Without this a missing write permission on the folder would silently write in place.
    FSaveFile->setDirectWriteFallback(false);
    if (!FSaveFile->open(QIODevice::WriteOnly))
      throw EFCreateError("Cannot create file " + AFileName);
  }
}

TFileStream::~TFileStream() {
  if (FSaveFile)
    FSaveFile->cancelWriting();
}

std::size_t TFileStream::Read(void *ABuffer, std::size_t ACount) {
  if (!FReadFile)
    throw EReadError("Stream read error");
  qint64 Count = FReadFile->read(static_cast<char *>(ABuffer), qint64(ACount));
  if (Count < 0)
    throw EReadError("Stream read error");
  return std::size_t(Count);
}

void TFileStream::Write(const void *ABuffer, std::size_t ACount) {
  if (!FSaveFile)
    throw EWriteError("Stream write error");
  if (FSaveFile->write(static_cast<const char *>(ABuffer), qint64(ACount)) != qint64(ACount))
    throw EWriteError("Stream write error");
}

std::int64_t TFileStream::Size() const { return FReadFile ? FReadFile->size() : FSaveFile->size(); }

std::int64_t TFileStream::Position() const {
  return FReadFile ? FReadFile->pos() : FSaveFile->pos();
}

void TFileStream::Commit() {
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
