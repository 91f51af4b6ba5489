#include "common/SettingsDocument.h"

#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "platform/os/Os.h"

namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
constexpr char kLineEnd[] = "\r\n";
constexpr char kDefaultRootName[] = "InitFile";

// Closes a C stream when it goes out of scope.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// White space as the C locale's isspace() knows it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Base-10 text to a 32-bit integer the way a string-to-long conversion reads it: leading white space,
// an optional sign, then the digits up to the first other character. No digits give 0; a number
// beyond the 32-bit range gives the nearest limit.
std::int32_t TextToInt32(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude saturates just past the largest one that fits, so it never overflows.
  constexpr std::int64_t kSaturated = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kSaturated) magnitude = kSaturated;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

// Reads the whole file as bytes. False when it cannot be opened, is empty by its seek size, or a read
// fails (which is also how a directory ends up here on systems that let one be opened). The size from
// seeking only decides about emptiness: the bytes are read in pieces up to the end, so a wrong size
// never makes the buffer too short or absurdly large.
bool ReadWholeFile(const std::string& path, std::string& bytes) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size <= 0) return false;
  if (std::fseek(file.get(), 0, SEEK_SET) != 0) return false;

  std::string content;
  char chunk[64 * 1024];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
    content.append(chunk, got);
    if (got < sizeof chunk) break;
  }
  if (std::ferror(file.get()) || content.empty()) return false;
  bytes = std::move(content);
  return true;
}

}  // namespace

TSettingsDocument::TSettingsDocument(std::uint8_t isXml)
    : IsXml(isXml), RootName(kDefaultRootName), Cursor(0) {
  RebuildHeaderAndFooter();
}

void TSettingsDocument::RebuildHeaderAndFooter() {
  if (IsXml != 1) return;
  Header = std::string(kDeclaration) + kLineEnd + "<" + RootName + ">" + kLineEnd;
  Footer = "</" + RootName + ">" + kLineEnd;
}

void TSettingsDocument::SetRootName(std::string name) {
  RootName = std::move(name);
  RebuildHeaderAndFooter();
}

bool TSettingsDocument::Load(std::string path) {
  try {
    std::string text;
    if (!ReadWholeFile(path, text)) return false;
    // The text ends at the first NUL byte.
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return Parse(std::move(text));
  } catch (const std::bad_alloc&) {
    return false;  // a file too large for memory reads as unreadable
  }
}

bool TSettingsDocument::Parse(std::string text) {
  if (IsXml != 1) {
    Body = std::move(text);
    return true;
  }
  const std::size_t declarationEnd = text.find("?>");
  const std::size_t rootStart =
      declarationEnd == std::string::npos ? std::string::npos : text.find('<', declarationEnd);
  const std::size_t rootEnd = rootStart == std::string::npos ? std::string::npos : text.find('>', rootStart);
  if (rootEnd == std::string::npos) {
    SetRootName(kDefaultRootName);
    return false;
  }
  SetRootName(text.substr(rootStart + 1, rootEnd - rootStart - 1));

  std::size_t bodyStart = rootEnd + 1;
  if (bodyStart < text.size() && text[bodyStart] == '\r') ++bodyStart;
  if (bodyStart < text.size() && text[bodyStart] == '\n') ++bodyStart;
  const std::size_t bodyEnd = text.find("</" + RootName + ">", bodyStart);
  if (bodyEnd == std::string::npos) return false;
  Body = text.substr(bodyStart, bodyEnd - bodyStart);
  return true;
}

bool TSettingsDocument::Save(std::string path) {
  const bool xml = IsXml == 1;
  std::string text;
  if (xml) text += Header;
  text += Body;
  if (xml) text += Footer;
  return os::WriteFileReplacing(path, text);
}

void TSettingsDocument::Clear() {
  Body.clear();
  Cursor = 0;
}

std::string TSettingsDocument::Find(std::int32_t start, const std::string& key) {
  // An offset outside the body (negative or past its end) finds nothing.
  if (start < 0 || static_cast<std::uint64_t>(start) > Body.size()) return {};
  const bool xml = IsXml == 1;
  const std::string opening = xml ? "<" + key + ">" : key + "=\"";
  const std::size_t at = Body.find(opening, static_cast<std::size_t>(start));
  if (at == std::string::npos) return {};
  const std::size_t valueStart = at + opening.size();
  const std::string closing = xml ? "</" + key + ">" : "\"";
  const std::size_t valueEnd = Body.find(closing, valueStart);
  if (valueEnd == std::string::npos) return {};
  const std::size_t next = valueEnd + closing.size();
  // Cursor is a 32-bit offset: a value ending beyond its reach counts as not found rather than
  // leaving Cursor pointing somewhere else.
  if (next > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return {};
  Cursor = static_cast<std::int32_t>(next);
  return Body.substr(valueStart, valueEnd - valueStart);
}

std::string TSettingsDocument::GetString(std::string key, std::string defaultValue) {
  std::string value = Find(0, key);
  return value.empty() ? defaultValue : value;
}

std::int32_t TSettingsDocument::GetInt(std::string key, std::int32_t defaultValue) {
  const std::string value = Find(0, key);
  return value.empty() ? defaultValue : TextToInt32(value);
}

bool TSettingsDocument::GetBool(std::string key, bool defaultValue) {
  const std::string value = Find(0, key);
  return value.empty() ? defaultValue : TextToInt32(value) == 1;
}

std::string TSettingsDocument::GetNext(std::string key) { return Find(Cursor, key); }

void TSettingsDocument::SetString(std::string key, std::string value) {
  if (IsXml == 1) {
    Body += "  <" + key + ">" + value + "</" + key + ">" + kLineEnd;
  } else {
    Body += key + "=\"" + value + "\"" + kLineEnd;
  }
}

void TSettingsDocument::SetInt(std::string key, std::int32_t value) {
  SetString(std::move(key), std::to_string(value));
}

void TSettingsDocument::SetBool(std::string key, bool value) { SetString(std::move(key), value ? "1" : "0"); }
