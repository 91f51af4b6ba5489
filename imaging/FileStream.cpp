#include "imaging/FileStream.h"

#include "imaging/Errors.h"

EFCreateError::EFCreateError(const std::string& fileName)
    : EImageError("Datei " + fileName + " kann nicht erstellt werden") {}

EWriteError::EWriteError() : EImageError("Stream-Write-Fehler") {}

EJPEGError::EJPEGError(int messageCode)
    : EImageError("JPEG-Fehler #" + std::to_string(messageCode)), messageCode_(messageCode) {}

TFileStream::TFileStream(const std::string& fileName) {
  file_ = std::fopen(fileName.c_str(), "wb");
  if (file_ == nullptr) throw EFCreateError(fileName);
}

TFileStream::~TFileStream() {
  if (file_ != nullptr) std::fclose(file_);
}

void TFileStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (file_ == nullptr || std::fwrite(data, 1, size, file_) != size) throw EWriteError();
}

void TFileStream::Close() {
  if (file_ == nullptr) return;
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) throw EWriteError();
}
