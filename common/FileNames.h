#pragma once
// The file-name rules both programs share.

#include <string>

// The extension of a file name: the part from the last "." that follows the last path delimiter, dot
// included; empty when there is none. Windows delimits path elements with "\", "/" and the drive's
// ":", other systems with "/".
std::string FileExtension(const std::string& fileName);

// The file name without its extension (the whole name when it has none).
std::string WithoutExtension(const std::string& fileName);

// The file name with its extension replaced by the new one (dot included), or the new one appended when
// it has none.
std::string ChangeFileExtension(const std::string& fileName, const std::string& extension);

// The last element of a path: the part after the last path delimiter (the whole text when it has none).
std::string FileNamePart(const std::string& path);
