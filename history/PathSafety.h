// Rules that keep names from the network from steering where history files go, and keep
// names Windows reserves for devices from swallowing history.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

// An inserted value (a contact's or the user's identifier or name) made safe to put into a
// path: every "\"-separated piece that consists only of dots and blanks ("." or ".." and the
// like) gets its dots replaced by "_", so that it can neither climb out of its folder nor stay
// in it. A "\" still makes a folder level.
std::string NeutralizeDotSegments(std::string_view value);

// The path after its values were inserted, with the dots that values brought into a piece made
// only of dots and blanks replaced by "_". `insertedDots` holds a byte for each byte of `path`,
// non-zero for a dot a value put there, or is empty when none did. Each value is made safe on
// its own before it goes in, but one that holds a later macro's text (".%MYUIN%.") is cut into
// when that macro is replaced, and can be left as dots; the template's own dots stay.
std::string NeutralizeInsertedDots(std::string path, std::string_view insertedDots);

// An inserted value with every control character (codes 1 to 31) replaced by "_": Windows refuses
// them in file and folder names, so a contact whose name or identifier holds one (a tab, an
// escape) could otherwise never have a history file.
std::string ReplaceControlCharacters(std::string_view value);

// The path with every folder level made what Windows makes of it when it creates the folder:
// trailing blanks and dots dropped, and a level that had characters and is left with none
// becomes "_". Windows opens a path through such a level as written, so without this a folder
// "Bob " would be made as "Bob" and then not be found. The file name (the last level), a drive,
// the server and share of a network path, empty levels (a doubled "\") and the levels "." and
// ".." stay as they are.
std::string TrimFolderLevels(std::string_view path);

// The path with every file or folder name whose part before the first dot is a device name
// (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, COM¹-COM³, LPT¹-LPT³, in any case) given an "_"
// after that part:
// CON.TXT becomes CON_.TXT. A leading drive ("C:") is left alone.
std::string ProtectDeviceNames(std::string_view path);

}  // namespace quillet
