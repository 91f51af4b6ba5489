#pragma once
// The settings document: a key/value document held as one text, the body, in one of two file forms.
//   XML form (settings files):  a declaration line, "<Root>", one "  <Key>value</Key>" line per entry,
//                               "</Root>", every line ended by CR LF.
//   plain form (all other files): one 'Key="value"' line per entry, ended by CR LF.
// Values are found by plain substring search from the start of the body; writing appends an entry.
// Nothing here raises an error or shows a message: failures come back as false or as the default.

#include <cstdint>
#include <string>

// The form a document is made in.
inline constexpr std::uint8_t kXmlSettingsForm = 1;
inline constexpr std::uint8_t kPlainSettingsForm = 0;

class TSettingsDocument {
 public:
  // isXml == 1: XML form; any other value: plain form.
  explicit TSettingsDocument(std::uint8_t isXml);

  bool Load(std::string path);
  // Writes header, body and footer, replacing the file atomically; false when the file could not be
  // written whole (the old file then stays as it was).
  bool Save(std::string path);
  void Clear();

  std::string GetString(std::string key, std::string defaultValue);
  std::int32_t GetInt(std::string key, std::int32_t defaultValue);
  bool GetBool(std::string key, bool defaultValue);
  std::string GetNext(std::string key);

  void SetString(std::string key, std::string value);
  void SetInt(std::string key, std::int32_t value);
  void SetBool(std::string key, bool value);

  std::uint8_t IsXml;
  std::string RootName;
  std::string Header;
  std::string Footer;
  std::string Body;
  std::int32_t Cursor;

 private:
  // XML form: Header and Footer made from RootName (plain form: left empty).
  void RebuildHeaderAndFooter();
  void SetRootName(std::string name);
  // Takes the file text (already cut at its first NUL byte) apart into Body; false when malformed.
  bool Parse(std::string text);
  // The value of the first entry with this key at or after the offset; moves Cursor past it.
  // Empty text, Cursor unchanged, when there is none.
  std::string Find(std::int32_t start, const std::string& key);
};
