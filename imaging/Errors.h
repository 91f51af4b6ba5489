#pragma once
// The errors of the file, stream and JPEG layers. Each carries the exact text the error box shows.

#include <stdexcept>
#include <string>

// Base of every error the image writers raise.
class EImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file could not be created or replaced (bad path, no permission, locked).
class EFCreateError : public EImageError {
 public:
  explicit EFCreateError(const std::string& fileName);
};

// A write to a file came up short (disk full).
class EWriteError : public EImageError {
 public:
  EWriteError();
};

// The JPEG library reported an error; the number is its message code.
class EJPEGError : public EImageError {
 public:
  explicit EJPEGError(int messageCode);
  int MessageCode() const { return messageCode_; }

 private:
  int messageCode_;
};
