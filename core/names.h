// Text rules for paths and names: the pieces of a Windows path, letter case,
// and which names from packages and data files can be trusted to stay inside
// the folder they are appended to. Pure text; nothing here touches a file.
#pragma once

#include <string>

namespace ssi {

// Appends "\" unless the text already ends with one.
std::string withTrailingBackslash(std::string path);
// The file name part of a path (after the last "\", "/" or ":").
std::string extractFileName(const std::string& path);
// The folder part of a path, up to and including the last "\" or ":".
std::string extractFilePath(const std::string& path);
// The extension of a file name, from its last dot ("" when there is none).
std::string extractFileExt(const std::string& name);
// Replaces everything from the last dot of the name (or appends).
std::string changeFileExt(const std::string& name, const std::string& ext);
std::string lowerCase(std::string text);

// Whether `word` occurs in `text`, ignoring the case of the letters A to Z.
bool containsText(const std::string& text, const std::string& word);

// ---- names from packages and data files ----------------------------------
// Whether a name is one of the devices Windows maps whatever the extension
// and folder (CON, PRN, AUX, NUL, COM0..9, LPT0..9, CLOCK$, CONIN$, CONOUT$),
// COM and LPT also with a superscript 1, 2 or 3 (bytes 0xB9, 0xB2, 0xB3).
bool isDeviceName(const std::string& name);
// A name that can only name a file inside the folder it is appended to: not
// empty, no folder separator, drive or character Windows forbids
// (<>:"/\|?* and control characters), not only dots and spaces, no trailing
// dot or space (which Windows drops), no device name.
bool isPlainFileName(const std::string& name);
// Why `name` is not such a name, in words for the author ("it ends with a
// dot, which Windows drops"); "" when it is. The one rule both answer by.
std::string fileNameProblem(const std::string& name);
// A relative path of plain names separated by backslashes.
bool isSafeRelativePath(const std::string& path);

}  // namespace ssi
