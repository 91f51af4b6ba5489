#include "common/FileNames.h"

#include "platform/Os.h"

std::string FileExtension(const std::string& fileName) {
  const char* delimiters = os::PathDelimiter() == '\\' ? "\\/:" : "/";
  const std::size_t lastDelimiter = fileName.find_last_of(delimiters);
  const std::size_t start = lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1;
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return fileName.substr(dot);
}

std::string WithoutExtension(const std::string& fileName) {
  return fileName.substr(0, fileName.size() - FileExtension(fileName).size());
}
