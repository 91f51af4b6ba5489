#include "common/FileNames.h"

#include "platform/os/Os.h"

namespace {
const char* Delimiters() { return os::PathDelimiter() == '\\' ? "\\/:" : "/"; }
}  // namespace

std::string FileExtension(const std::string& fileName) {
  const std::size_t lastDelimiter = fileName.find_last_of(Delimiters());
  const std::size_t start = lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1;
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return fileName.substr(dot);
}

std::string WithoutExtension(const std::string& fileName) {
  return fileName.substr(0, fileName.size() - FileExtension(fileName).size());
}

std::string ChangeFileExtension(const std::string& fileName, const std::string& extension) {
  return WithoutExtension(fileName) + extension;
}

std::string FileNamePart(const std::string& path) {
  const std::size_t lastDelimiter = path.find_last_of(Delimiters());
  return lastDelimiter == std::string::npos ? path : path.substr(lastDelimiter + 1);
}
