#include "imaging/FileStream.h"

#include "imaging/Errors.h"

TFileStream::TFileStream(const std::string& fileName) : fileName_(fileName) {
  if (!file_.Open(fileName)) throw EFCreateError(fileName);
}

TFileStream::~TFileStream() = default;

void TFileStream::Write(const void* data, std::size_t size) {
  if (size == 0) return;
  if (closed_ || !file_.Write(data, size)) throw EWriteError();
}

void TFileStream::Close() {
  if (closed_) return;
  closed_ = true;
  switch (file_.Commit()) {
    case os::ReplacingFile::Result::Done:
      return;
    case os::ReplacingFile::Result::WriteFailed:
      throw EWriteError();
    case os::ReplacingFile::Result::CannotReplace:
      break;
  }
  throw EFCreateError(fileName_);
}
