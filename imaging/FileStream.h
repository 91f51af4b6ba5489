#pragma once
// A file created (or replaced) for writing by the image writers, closed when the object goes. Every
// write is checked: a short write raises EWriteError, so a full disk never passes as success.
//
// The file is an os::ReplacingFile (platform/os/Os.h): it takes the target's place only once it was
// written, flushed and closed whole; whatever fails on the way, the file the target names stays
// exactly as it was and no temporary file is left behind. A device or pipe (/dev/full, NUL, a named
// pipe) is written in place.

#include <cstddef>
#include <string>

#include "platform/os/Os.h"

class TFileStream {
 public:
  // Opens the temporary file. Raises EFCreateError, with nothing created, when the target cannot be
  // created or replaced: an empty name, a folder of that name, a file this process may not write
  // (read-only, immutable, locked by another program), or a folder that does not exist or cannot be
  // written. A symbolic link stays: the file it names is the one replaced.
  explicit TFileStream(const std::string& fileName);
  // Without a successful Close(): the temporary file is removed; the target stays as it was.
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
  std::string fileName_;  // as the caller gave it, for the error text
  os::ReplacingFile file_;
  bool closed_ = false;
};
