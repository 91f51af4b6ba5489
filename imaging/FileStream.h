#pragma once
// A file created (or replaced) for writing, closed when the object goes. Every write is checked:
// a short write raises EWriteError, so a full disk never passes as success.
//
// The bytes go to a temporary file beside the target (the target's name plus ".~<number>.tmp", a
// name no file has yet), which takes the target's place only once it was written and closed whole.
// Whatever fails on the way, the file the target names stays exactly as it was and no temporary file
// is left behind. A device or pipe (/dev/full, NUL, a named pipe) cannot be replaced: it is written in
// place.

#include <cstddef>
#include <cstdio>
#include <string>

class TFileStream {
 public:
  // Opens the temporary file. Raises EFCreateError, with nothing created, when the target cannot be
  // created or replaced: an empty name, a folder of that name, a file this process may not write
  // (read-only, immutable, locked by another program), or a folder that does not exist or cannot be
  // written. A symbolic link stays: the file it names is the one replaced.
  explicit TFileStream(const std::string& fileName);
  // Without a successful Close(): closes and deletes the temporary file; the target stays as it was.
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Writes all bytes or raises EWriteError.
  void Write(const void* data, std::size_t size);
  void WriteByte(unsigned char value) { Write(&value, 1); }
  // Flushes and closes, then puts the written file in the target's place. Raises EWriteError when the
  // data did not all reach the file, EFCreateError when the target could not be replaced; either way
  // the target stays as it was and the temporary file is gone. Called by the writers when done.
  void Close();

 private:
  // Opens the target itself for writing (a device or pipe); raises EFCreateError.
  void OpenInPlace();
  // Closes and deletes the temporary file, if any; never raises.
  void Discard() noexcept;

  std::string fileName_;   // as the caller gave it, for the error text
  std::string target_;     // the file replaced: fileName_, or the file a symbolic link names
  std::string temporary_;  // the file written; empty when the target is written in place
  std::FILE* file_ = nullptr;
};
