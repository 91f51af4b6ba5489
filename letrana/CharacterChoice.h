#pragma once
// Which characters Letrana's grid shows: the 256 bytes of the code page (the start and the default), a
// block of the Unicode standard, or every character of a UTF-8 text file; shown a page of at most 256
// cells at a time. The choice is kept in Letrana.ini after the other keys (CharacterSet, CharacterFile,
// CharacterPage), and only when it is not the code page, so that a file of the code page's window
// reads and writes as it always did.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/SettingsDocument.h"
#include "glyphs/CharacterSet.h"
#include "glyphs/GlyphExport.h"

inline constexpr int kCellsPerPage = 256;

enum class TCharacterSource { CodePage, Block, TextFile };

struct TCharacterChoice {
  TCharacterSource Source = TCharacterSource::CodePage;
  std::string Block;     // the block's name in UnicodeBlocks(), for Source Block
  std::string TextFile;  // the file's path, for Source TextFile
  int Page = 0;          // from 0
  bool operator==(const TCharacterChoice&) const = default;
};

// The block of that name, or null.
const TUnicodeBlock* BlockNamed(const std::string& name);

// Why a text file gives no characters.
class ECharacterFileError : public std::runtime_error {
 public:
  enum class TReason { Unreadable, NotUtf8, NoCharacters };
  ECharacterFileError(TReason reason, const std::string& path);
  TReason Reason() const { return reason_; }
  const std::string& Path() const { return path_; }

 private:
  TReason reason_;
  std::string path_;
};

// The characters of a text file: every one of its UTF-8 text once, in the order they first appear,
// line ends left out. Throws ECharacterFileError.
std::vector<TGlyphCharacter> TextFileCharacters(const std::string& path);

// The characters of the choice, in order (ascending for a block, the code page's 256 bytes). A text
// file is read now (throws ECharacterFileError); a block that UnicodeBlocks() does not name gives the
// code page.
std::vector<TGlyphCharacter> ChoiceCharacters(const TCharacterChoice& choice);

// The pages that many characters fill (at least one), and the characters of one page (the page is
// kept within them).
int PageCount(std::size_t characters);
std::vector<TGlyphCharacter> PageOf(const std::vector<TGlyphCharacter>& characters, int page);

// The choice as the settings hold it: the code page when the keys are missing or name no block; the
// page as written (from 1), to be kept within the characters by the caller.
TCharacterChoice ReadCharacterChoice(TSettingsDocument& settings);
// Appends the keys, none for the code page.
void WriteCharacterChoice(TSettingsDocument& settings, const TCharacterChoice& choice);
