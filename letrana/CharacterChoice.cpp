#include "letrana/CharacterChoice.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

// The value of CharacterSet for a text file; any other value names a block.
constexpr const char* kTextFileSet = "TextFile";

const char* ReasonText(ECharacterFileError::TReason reason) {
  switch (reason) {
    case ECharacterFileError::TReason::Unreadable:
      return "cannot be read";
    case ECharacterFileError::TReason::NotUtf8:
      return "is not a text in UTF-8";
    case ECharacterFileError::TReason::NoCharacters:
      return "holds no characters";
  }
  return "";
}

}  // namespace

const TUnicodeBlock* BlockNamed(const std::string& name) {
  const std::vector<TUnicodeBlock>& blocks = UnicodeBlocks();
  const auto found = std::find_if(blocks.begin(), blocks.end(),
                                  [&](const TUnicodeBlock& block) { return name == block.Name; });
  return found == blocks.end() ? nullptr : &*found;
}

ECharacterFileError::ECharacterFileError(TReason reason, const std::string& path)
    : std::runtime_error("The file " + path + " " + ReasonText(reason)), reason_(reason), path_(path) {}

std::vector<TGlyphCharacter> TextFileCharacters(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  std::string text;
  if (stream.is_open()) text.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
  if (!stream.is_open() || stream.bad())
    throw ECharacterFileError(ECharacterFileError::TReason::Unreadable, path);
  std::vector<std::uint32_t> points;
  try {
    points = CodePointsOfUtf8(text);
  } catch (const std::invalid_argument&) {
    throw ECharacterFileError(ECharacterFileError::TReason::NotUtf8, path);
  }
  if (points.empty()) throw ECharacterFileError(ECharacterFileError::TReason::NoCharacters, path);
  return CharactersOf(points, true);
}

std::vector<TGlyphCharacter> ChoiceCharacters(const TCharacterChoice& choice) {
  if (choice.Source == TCharacterSource::TextFile) return TextFileCharacters(choice.TextFile);
  const TUnicodeBlock* block = choice.Source == TCharacterSource::Block ? BlockNamed(choice.Block) : nullptr;
  if (block == nullptr) return CodePageCharacters();
  std::vector<TGlyphCharacter> characters;
  for (char32_t c = block->First; c <= block->Last; ++c) {
    // Surrogates are no characters (no block of the table holds them, but the rule stands).
    if (c < 0xD800 || c > 0xDFFF) characters.push_back(TGlyphCharacter::CodePoint(c));
  }
  return characters;
}

int PageCount(std::size_t characters) {
  return std::max(1, static_cast<int>((characters + kCellsPerPage - 1) / kCellsPerPage));
}

std::vector<TGlyphCharacter> PageOf(const std::vector<TGlyphCharacter>& characters, int page) {
  page = std::clamp(page, 0, PageCount(characters.size()) - 1);
  const std::size_t first = static_cast<std::size_t>(page) * kCellsPerPage;
  const std::size_t last = std::min(characters.size(), first + kCellsPerPage);
  return {characters.begin() + static_cast<std::ptrdiff_t>(std::min(first, last)),
          characters.begin() + static_cast<std::ptrdiff_t>(last)};
}

TCharacterChoice ReadCharacterChoice(TSettingsDocument& settings) {
  TCharacterChoice choice;
  const std::string set = settings.GetString("CharacterSet", "");
  if (set == kTextFileSet) {
    choice.TextFile = settings.GetString("CharacterFile", "");
    if (choice.TextFile.empty()) return {};
    choice.Source = TCharacterSource::TextFile;
  } else if (BlockNamed(set) != nullptr) {
    choice.Source = TCharacterSource::Block;
    choice.Block = set;
  } else {
    return {};
  }
  choice.Page = std::max(0, settings.GetInt("CharacterPage", 1) - 1);
  return choice;
}

void WriteCharacterChoice(TSettingsDocument& settings, const TCharacterChoice& choice) {
  if (choice.Source == TCharacterSource::CodePage) return;
  if (choice.Source == TCharacterSource::TextFile) {
    settings.SetString("CharacterSet", kTextFileSet);
    settings.SetString("CharacterFile", choice.TextFile);
  } else {
    settings.SetString("CharacterSet", choice.Block);
  }
  settings.SetInt("CharacterPage", choice.Page + 1);
}
