// The portable part of the operating-system services: what is the same on every system, built on the
// per-system parts.

#include "platform/os/Os.h"

#include <fstream>
#include <iterator>

namespace os {

namespace {
// Writes of this size or more go to the file at once; smaller ones are gathered up to it.
constexpr std::size_t kGatherSize = 1 << 16;
}  // namespace

bool ReplacingFile::Write(const void* data, std::size_t size) {
  if (size >= kGatherSize) return FlushBuffer() && WriteThrough(data, size);
  if (buffer_.size() + size > kGatherSize && !FlushBuffer()) return false;
  const char* bytes = static_cast<const char*>(data);
  buffer_.insert(buffer_.end(), bytes, bytes + size);
  return true;
}

bool ReplacingFile::FlushBuffer() {
  if (buffer_.empty()) return true;
  const bool written = WriteThrough(buffer_.data(), buffer_.size());
  buffer_.clear();
  return written;
}

ReplacingFile::Result ReplacingFile::Commit() {
  if (!FlushBuffer()) {
    Discard();
    return Result::WriteFailed;
  }
  return Finish();
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& fileName) {
  std::ifstream stream(fileName, std::ios::binary | std::ios::ate);
  if (!stream.is_open()) return std::nullopt;
  const std::streamoff size = stream.tellg();
  if (size <= 0) {
    // A pipe or device tells no size: read it to its end.
    stream.clear();
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) return std::nullopt;
    return bytes;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  stream.seekg(0);
  if (!stream.read(reinterpret_cast<char*>(bytes.data()), size)) return std::nullopt;
  return bytes;
}

bool WriteFileReplacing(const std::string& fileName, std::string_view bytes) {
  ReplacingFile file;
  return file.Open(fileName) && file.Write(bytes.data(), bytes.size()) &&
         file.Commit() == ReplacingFile::Result::Done;
}

}  // namespace os
