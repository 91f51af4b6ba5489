// Feeds arbitrary file content to the settings document in both forms: Load, every kind of read with
// keys found in the content and fixed ones, the set operations, Save and Load back. Each result is
// checked against a plain reference of the document's rules; any difference aborts.

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "common/SettingsDocument.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
const std::string kSentinel = "  <Sentinel>kept</Sentinel>\r\n";

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "settings document invariant broken: %s\n", what);
    std::abort();
  }
}

// A folder of this process for the files it writes, removed at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = std::filesystem::temp_directory_path() / ("class_init_fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const char* name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

const ScratchFolder& Scratch() {
  static const ScratchFolder folder;
  return folder;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  Check(file != nullptr, "scratch file can be created");
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  Check(std::fclose(file) == 0 && ok, "scratch file written");
}

std::string ReadBytes(const std::string& path) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  Check(file != nullptr, "saved file exists");
  char chunk[4096];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
  std::fclose(file);
  return bytes;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// ---- Reference of the rules, written naively --------------------------------------------------------

bool MatchesAt(const std::string& text, std::size_t at, const std::string& part) {
  if (at > text.size() || text.size() - at < part.size()) return false;
  for (std::size_t i = 0; i < part.size(); ++i) {
    if (text[at + i] != part[i]) return false;
  }
  return true;
}

std::optional<std::size_t> NaiveFind(const std::string& text, std::size_t from, const std::string& part) {
  for (std::size_t at = from; at <= text.size(); ++at) {
    if (MatchesAt(text, at, part)) return at;
  }
  return std::nullopt;
}

struct Found {
  std::string value;
  std::int32_t cursor;
};

// The entry a read from this offset finds: its value and the offset just past it.
std::optional<Found> ReferenceFind(bool xml, const std::string& body, std::int64_t start,
                                   const std::string& key) {
  if (start < 0 || start > static_cast<std::int64_t>(body.size())) return std::nullopt;
  const std::string opening = xml ? "<" + key + ">" : key + "=\"";
  const std::string closing = xml ? "</" + key + ">" : "\"";
  const auto at = NaiveFind(body, static_cast<std::size_t>(start), opening);
  if (!at) return std::nullopt;
  const std::size_t valueStart = *at + opening.size();
  const auto end = NaiveFind(body, valueStart, closing);
  if (!end) return std::nullopt;
  return Found{body.substr(valueStart, *end - valueStart), static_cast<std::int32_t>(*end + closing.size())};
}

// The C library's conversion, limited to 32 bits.
std::int32_t ReferenceInt(const std::string& text) {
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

struct Parsed {
  std::string root;
  std::optional<std::string> body;  // missing: the load fails after taking the root name
};

// How the XML form takes a text apart; nothing when it has no declaration end or root start tag.
std::optional<Parsed> ReferenceParseXml(const std::string& text) {
  const auto question = NaiveFind(text, 0, "?>");
  if (!question) return std::nullopt;
  const auto open = NaiveFind(text, *question, "<");
  if (!open) return std::nullopt;
  const auto close = NaiveFind(text, *open, ">");
  if (!close) return std::nullopt;
  Parsed parsed{text.substr(*open + 1, *close - *open - 1), std::nullopt};
  std::size_t start = *close + 1;
  if (MatchesAt(text, start, "\r")) ++start;
  if (MatchesAt(text, start, "\n")) ++start;
  if (const auto end = NaiveFind(text, start, "</" + parsed.root + ">"))
    parsed.body = text.substr(start, *end - start);
  return parsed;
}

void CheckHeaderAndFooter(const TSettingsDocument& doc) {
  if (doc.IsXml != 1) {
    Check(doc.Header.empty() && doc.Footer.empty(), "plain form has no header or footer");
    return;
  }
  Check(doc.Header == kDeclaration + "<" + doc.RootName + ">\r\n", "header follows the root name");
  Check(doc.Footer == "</" + doc.RootName + ">\r\n", "footer follows the root name");
}

// ---- The reads --------------------------------------------------------------------------------------

void CheckReads(TSettingsDocument& doc, const std::string& key) {
  const bool xml = doc.IsXml == 1;
  const std::string body = doc.Body;

  // GetString, GetInt and GetBool search from the start; Cursor moves only on a find.
  const auto first = ReferenceFind(xml, body, 0, key);
  const std::int32_t before = doc.Cursor;
  const std::string fallback = std::string(1, '\x01') + "default";
  const std::string text = doc.GetString(key, fallback);
  Check(text == (first && !first->value.empty() ? first->value : fallback), "GetString value");
  Check(doc.Cursor == (first ? first->cursor : before), "GetString cursor");
  const std::int32_t number = doc.GetInt(key, -12345);
  Check(number == (first && !first->value.empty() ? ReferenceInt(first->value) : -12345), "GetInt value");
  for (bool fallback : {false, true}) {
    const bool flag = doc.GetBool(key, fallback);
    Check(flag == (first && !first->value.empty() ? ReferenceInt(first->value) == 1 : fallback),
          "GetBool value");
  }

  // GetNext walks the entries from the start; every find moves Cursor forward, the end leaves it.
  doc.Cursor = 0;
  for (std::size_t step = 0; step <= body.size() + 1; ++step) {
    const std::int32_t cursor = doc.Cursor;
    const auto next = ReferenceFind(xml, body, cursor, key);
    const std::string value = doc.GetNext(key);
    Check(value == (next ? next->value : std::string()), "GetNext value");
    Check(doc.Cursor == (next ? next->cursor : cursor), "GetNext cursor");
    if (!next) break;
    Check(doc.Cursor > cursor, "GetNext moves forward");
  }

  // Offsets at and beyond the ends of the body.
  const auto size = static_cast<std::int64_t>(body.size());
  for (std::int64_t offset :
       {std::int64_t{-1}, std::int64_t{INT32_MIN}, size, size + 1, std::int64_t{INT32_MAX}}) {
    if (offset > INT32_MAX) continue;
    doc.Cursor = static_cast<std::int32_t>(offset);
    const auto next = ReferenceFind(xml, body, offset, key);
    const std::string value = doc.GetNext(key);
    Check(value == (next ? next->value : std::string()), "GetNext at an edge offset");
    Check(doc.Cursor == (next ? next->cursor : offset), "GetNext cursor at an edge offset");
  }
  Check(doc.Body == body, "reads never change the body");
}

// Keys worth asking for: the names in start tags and before '="' in the text, and some fixed ones.
std::vector<std::string> KeysOf(const std::string& text) {
  std::vector<std::string> keys = {"",         "A",        "K",  "Name", "LanguageName",
                                   "FontName", "InitFile", "\"", "<",    ">"};
  for (std::size_t at = 0; at < text.size() && keys.size() < 26; ++at) {
    if (text[at] == '<') {
      const std::size_t end = text.find('>', at + 1);
      if (end != std::string::npos && end - at <= 64) keys.push_back(text.substr(at + 1, end - at - 1));
    } else if (text[at] == '=' && at + 1 < text.size() && text[at + 1] == '"') {
      const std::size_t lineStart = text.find_last_of("\r\n", at);
      const std::size_t begin = lineStart == std::string::npos ? 0 : lineStart + 1;
      if (at - begin <= 64) keys.push_back(text.substr(begin, at - begin));
    }
  }
  return keys;
}

// ---- Load, set, save ----------------------------------------------------------------------------------

void CheckLoad(TSettingsDocument& doc, const std::string& path, const std::string& bytes) {
  const std::string text = bytes.substr(0, bytes.find('\0'));
  doc.Body = kSentinel;
  doc.Cursor = 3;
  const std::string rootBefore = doc.RootName;
  const bool loaded = doc.Load(path);
  Check(doc.Cursor == 3, "Load keeps Cursor");
  CheckHeaderAndFooter(doc);
  if (doc.IsXml != 1) {
    Check(loaded == !bytes.empty(), "plain Load fails only on an empty file");
    Check(doc.Body == (loaded ? text : kSentinel), "plain Load takes the text up to the first NUL");
    return;
  }
  if (bytes.empty()) {
    Check(!loaded && doc.Body == kSentinel && doc.RootName == rootBefore, "XML Load of an empty file");
    return;
  }
  const auto parsed = ReferenceParseXml(text);
  Check(doc.RootName == (parsed ? parsed->root : std::string("InitFile")), "XML Load root name");
  Check(loaded == (parsed && parsed->body), "XML Load result");
  Check(doc.Body == (loaded ? *parsed->body : kSentinel), "XML Load body");
}

void CheckSetOnFreshDocument(std::uint8_t form, const std::string& key, const std::string& value,
                             std::int32_t number) {
  const bool xml = form == 1;
  const std::string closing = xml ? "</" + key + ">" : "\"";
  TSettingsDocument doc(form);
  doc.SetString(key, value);
  Check(doc.Body ==
            (xml ? "  <" + key + ">" + value + closing + "\r\n" : key + "=\"" + value + closing + "\r\n"),
        "SetString appends one entry line");
  const std::string cut = (value + closing).substr(0, (value + closing).find(closing));
  Check(doc.GetString(key, "\x02") == (cut.empty() ? "\x02" : cut),
        "a set value reads back, cut at its delimiter");

  doc.Clear();
  Check(doc.Body.empty() && doc.Cursor == 0, "Clear empties");
  doc.SetInt(key, number);
  Check(doc.GetInt(key, number ^ 1) == number, "SetInt reads back");
  doc.Clear();
  doc.SetBool(key, number & 1);
  Check(doc.GetBool(key, !(number & 1)) == bool(number & 1), "SetBool reads back");
}

void CheckSaveAndLoadBack(TSettingsDocument& doc) {
  const std::string path = Scratch().File("saved.ini");
  Check(doc.Save(path), "Save into an existing folder succeeds");
  const bool xml = doc.IsXml == 1;
  const std::string written = ReadBytes(path);
  Check(written == (xml ? doc.Header + doc.Body + doc.Footer : doc.Body),
        "Save writes header, body and footer");

  TSettingsDocument back(doc.IsXml);
  const bool loaded = back.Load(path);
  const bool hasNul =
      Contains(doc.Body, std::string(1, '\0')) || Contains(doc.RootName, std::string(1, '\0'));
  if (!xml) {
    Check(loaded == !doc.Body.empty(), "plain Save then Load");
    if (loaded) Check(back.Body == doc.Body.substr(0, doc.Body.find('\0')), "plain round trip keeps Body");
  } else if (!hasNul && !Contains(doc.Body, "</" + doc.RootName + ">")) {
    Check(loaded, "XML Save then Load");
    Check(back.Body == doc.Body, "XML round trip keeps Body");
    Check(back.RootName == doc.RootName, "XML round trip keeps the root name");
  }
  Check(back.Cursor == 0, "Load never moves Cursor");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string input = Scratch().File("input.ini");
  WriteBytes(input, bytes);

  const std::vector<std::string> keys = KeysOf(bytes);
  // The plain form is any value but 1; take one from the input now and then.
  const std::uint8_t otherForm = size > 0 && data[0] != 1 && data[0] % 3 == 0 ? data[0] : 0;
  for (std::uint8_t form : {std::uint8_t{1}, otherForm}) {
    TSettingsDocument doc(form);
    CheckHeaderAndFooter(doc);
    CheckLoad(doc, input, bytes);
    CheckLoad(doc, input, bytes);  // a second load into the same document
    for (const std::string& key : keys) CheckReads(doc, key);

    // Set operations with keys and values taken from the input.
    const std::string value = bytes.substr(size / 2);
    std::int32_t number = 0;
    if (size >= 4) std::memcpy(&number, data + size - 4, 4);
    for (std::size_t i = 0; i < keys.size(); i += 3) CheckSetOnFreshDocument(form, keys[i], value, number);
    const std::string& key = keys[size % keys.size()];
    const std::string appended = doc.Body;
    doc.SetString(key, value);
    doc.SetInt(key, number);
    doc.SetBool(key, number < 0);
    Check(doc.Body.compare(0, appended.size(), appended) == 0, "set operations only append");
    CheckReads(doc, key);
    CheckSaveAndLoadBack(doc);
    doc.Clear();
    CheckSaveAndLoadBack(doc);
  }
  return 0;
}
