#pragma once
// A file created (or replaced) for writing, closed when the object goes. Every write is checked:
// a short write raises EWriteError, so a full disk never passes as success.

#include <cstddef>
#include <cstdio>
#include <string>

class TFileStream {
 public:
  // Creates or truncates the file; raises EFCreateError when it cannot be created.
  explicit TFileStream(const std::string& fileName);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Writes all bytes or raises EWriteError.
  void Write(const void* data, std::size_t size);
  void WriteByte(unsigned char value) { Write(&value, 1); }
  // Flushes and closes; raises EWriteError when the data did not all reach the file. Called by the
  // writers when done; the destructor closes without raising after an error.
  void Close();

 private:
  std::FILE* file_ = nullptr;
};
