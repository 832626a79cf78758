// The platform layer: the only part of Quillet that knows the operating system.
//
// Every path handed in or out is in the Windows form the plug-in works with ("Z:\home\a.txt",
// "\" as separator) and every narrow text is in the system ANSI code page. The Win32
// implementation calls the real API; the POSIX one maps each service onto Linux:
//   - drive Z: is "/" (as under Wine); another drive letter X is missing unless the variable
//     QUILLET_DRIVE_X names a folder for it; a path without a drive is relative to the working
//     folder;
//   - QUILLET_ACP chooses the ANSI code page (default 1252), converted with iconv;
//   - QUILLET_TIME_FORMAT overrides the locale's long time format with a Windows picture such as
//     "HH:mm:ss", "h:mm:ss tt" or "tt h:mm:ss"; without it the format comes from LC_TIME.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// A failed operating-system call, as data: the call that failed, the file or object it was given,
// the system's error number (GetLastError or errno) and the system's own wording of it ("Access
// denied."). What a user sees is composed from these parts where it is shown; what() joins them
// for diagnostics only, and nothing reads them back out of it.
class SystemError : public std::runtime_error {
public:
    SystemError(std::string operation, std::string path, std::uint32_t code, std::string reason)
        : std::runtime_error(operation + " " + path + ": " + reason),
          operation_(std::move(operation)),
          path_(std::move(path)),
          code_(code),
          reason_(std::move(reason)) {}
    const std::string& operation() const { return operation_; }
    const std::string& path() const { return path_; }
    std::uint32_t code() const { return code_; }
    const std::string& reason() const { return reason_; }

private:
    std::string operation_;
    std::string path_;
    std::uint32_t code_;
    std::string reason_;
};

// True when the error says that a folder the path runs through does not exist
// (ERROR_PATH_NOT_FOUND; ENOENT or ENOTDIR).
bool NamesMissingFolder(const SystemError& error);

// True when the error says that another program holds the file for a moment
// (ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION). Never natively: Linux has no sharing modes.
bool NamesSharingViolation(const SystemError& error);

// How long a file another program holds for a moment (a virus scanner, an indexer, a backup) is
// waited for in all, in milliseconds, and the first wait; each later wait is longer.
inline constexpr unsigned kHeldFilePatienceMs = 200;
inline constexpr unsigned kHeldFileFirstPauseMs = 10;

// Waits `milliseconds` (Sleep).
void Pause(unsigned milliseconds);

// ---- Text --------------------------------------------------------------------------------------

// The ANSI code page in force (GetACP).
unsigned AnsiCodePage();

// UTF-16 to the ANSI code page, no flags and no default character of our own: a character the
// code page lacks becomes its best-fit substitute or its default character ("?").
std::string WideToAnsi(std::u16string_view text);

// The ANSI code page to UTF-16.
std::u16string AnsiToWide(std::string_view text);

// UTF-16 to UTF-8 (WideCharToMultiByte with CP_UTF8); an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view text);

// Bytes of code page `codePage` (65001 for UTF-8) as UTF-16 (MultiByteToWideChar without
// flags): a sequence the code page does not define becomes its substitute character (U+FFFD for
// UTF-8).
std::u16string CodePageToWide(unsigned codePage, std::string_view bytes);

// True when every byte sequence of `bytes` is one that code page `codePage` defines
// (MultiByteToWideChar with MB_ERR_INVALID_CHARS). Every byte of a single-byte code page is.
bool ValidInCodePage(unsigned codePage, std::string_view bytes);

// UTF-16 to code page `codePage` when it holds every character as itself (no best fit, no
// default character); nullopt otherwise.
std::optional<std::string> WideToCodePageExact(unsigned codePage, std::u16string_view text);

// The text with every letter in its lower-case or upper-case form, for every script, as the
// system's invariant letter case defines it (LCMapStringEx with LCMAP_LOWERCASE or
// LCMAP_UPPERCASE): as many UTF-16 units as the input.
std::u16string LowerCaseWide(std::u16string_view text);
std::u16string UpperCaseWide(std::u16string_view text);

// Whole-text equality ignoring letter case under the user's locale (CompareString with
// NORM_IGNORECASE): é equals É under 1252; everything but case counts.
bool EqualIgnoreCase(std::string_view a, std::string_view b);
bool EqualIgnoreCase(std::u16string_view a, std::u16string_view b);

// A key for that comparison: two texts are equal ignoring letter case exactly when their keys
// are equal, so a text is found among many by one lookup (LCMapString's sort key with
// NORM_IGNORECASE).
std::string ComparisonKey(std::string_view text);

// The user's locale as a number (the LCID of LOCALE_USER_DEFAULT). Comparisons ignoring case and
// comparison keys follow it, so whatever keeps their results keeps it too. Natively letter case
// follows Unicode alone and this is always 0.
std::uint32_t UserLocale();

// The bytes that begin a character of more than one byte in the ANSI code page: none in a
// single-byte code page. In 932, 936, 949 and 950 (IsDBCSLeadByteEx) a lead byte and the byte
// after it make a character, and that byte can be "\", "|" or a letter, so code that looks at
// the characters of a path, a name or a rule steps over it. In 65001, UTF-8 ("Use Unicode UTF-8
// for worldwide language support"), 0xC2 to 0xF4 begin characters of two to four bytes.
struct LeadBytes {
    std::array<bool, 256> isLead{};
    bool any = false;   // the code page has lead bytes at all
    bool utf8 = false;  // the code page is 65001
};
const LeadBytes& AnsiLeadBytes();

// The bytes of the character that begins at `position` (inside `text`): one, or a lead byte
// with what follows it. In a double-byte code page that is the next byte, whatever it is. In
// UTF-8 it is the bytes a well-formed sequence may have there, as many as the lead byte says:
// a sequence cut short ends before the first byte that does not fit, so an ASCII byte is never
// part of another character.
inline std::size_t CharacterLength(std::string_view text, std::size_t position,
                                   const LeadBytes& lead) {
    const auto byte = static_cast<unsigned char>(text[position]);
    if (!lead.isLead[byte] || position + 1 >= text.size()) return 1;
    if (!lead.utf8) return 2;
    const std::size_t length = byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    // The second byte's range excludes overlong forms, surrogates and code points past U+10FFFF.
    const unsigned char low = byte == 0xE0 ? 0xA0 : byte == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = byte == 0xED ? 0x9F : byte == 0xF4 ? 0x8F : 0xBF;
    std::size_t used = 1;
    while (used < length && position + used < text.size()) {
        const auto next = static_cast<unsigned char>(text[position + used]);
        if (next < (used == 1 ? low : 0x80) || next > (used == 1 ? high : 0xBF)) break;
        ++used;
    }
    return used;
}

// The text with every letter upper-cased as the user's locale defines it (CharUpperBuff), one
// character at a time (a byte sequence the code page does not define stays as it is). In a
// single-byte or double-byte code page a capital takes as many bytes as its letter, so positions
// found in the result hold in the input too; in UTF-8 it may take more or fewer (ı is two bytes,
// I one), so code that finds text in upper case maps positions back character by character.
std::string UpperCase(std::string_view text);

// ---- Process, environment, folders -------------------------------------------------------------

// The file name of a loaded module (GetModuleFileNameW with a 261-unit buffer), up to its first
// NUL; empty when the handle names no module.
std::u16string ModuleFileName(const void* module);

// The ANSI calls below give the text before the NUL they wrote, in a buffer grown until one
// holds it: a result that fills its buffer without a NUL is cut, whatever length the call
// reported (ansi_call_text.h).

// The full path of the running program's executable (GetModuleFileNameA without a module).
std::string HostProgramPath();

// Environment-variable references ("%NAME%") that name a defined variable replaced by its value;
// others stay as written (ExpandEnvironmentStrings).
std::string ExpandEnvironment(std::string_view text);

// The Windows directory (GetWindowsDirectoryA, 256 characters first).
std::string WindowsDirectory();

// The path of special folder `csidl` (SHGetSpecialFolderLocation + SHGetPathFromIDListW, in the
// ANSI code page).
// Returns 0 and sets `path` on success; on failure returns the shell's status (E_UNEXPECTED,
// 0x8000FFFF, when the folder has no file-system path) and leaves `path` alone.
std::int32_t SpecialFolder(int csidl, std::string& path);

// The user locale's long-time choices (LOCALE_ITLZERO, LOCALE_ITIME, LOCALE_ITIMEMARKPOSN,
// LOCALE_STIME, LOCALE_S1159, LOCALE_S2359).
struct TimeFormat {
    bool leadingZero = true;
    bool twelveHour = false;
    bool designatorFirst = false;
    std::string separator = ":";
    std::string am;
    std::string pm;
};
TimeFormat UserTimeFormat();

// ---- Files -------------------------------------------------------------------------------------

// True when a file (not a folder) of that path exists.
bool FileExists(const std::string& path);

// True when a folder of that path exists.
bool FolderExists(const std::string& path);

// Creates one folder whose parent exists. Throws SystemError when it cannot.
void CreateFolder(const std::string& path);

// What the file system says of a file without opening it, in one call (GetFileAttributesExA;
// stat natively): enough to see that its content may have changed since it was read.
struct FileStamp {
    // Which file this is: natively its device and inode; under Windows, whose one call tells no
    // file number, its creation time and attributes.
    std::array<std::uint64_t, 2> identity{};
    std::uint64_t size = 0;
    // 100-ns ticks since 1601-01-01 (a FILETIME), as CurrentFileTime counts them.
    std::int64_t lastWrite = 0;
    bool operator==(const FileStamp&) const = default;
};

// What looking at a path found: a file with its stamp; nothing ReadWholeFile could read (no such
// file, or a folder of that name); or no answer (the look itself failed: the file may be there).
struct FileLook {
    enum class Kind { File, Missing, Unknown };
    Kind kind = Kind::Unknown;
    FileStamp stamp;
};
FileLook LookAtFile(const std::string& path);

// The time now, in the ticks of FileStamp::lastWrite (GetSystemTimeAsFileTime).
std::int64_t CurrentFileTime();

// The whole content of a file, opened for reading while others may read, write and delete it
// (a file an editor or a sync tool holds open is still read). Empty when the file is missing or
// cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// The same for at most the first `count` bytes of the file.
std::optional<std::string> ReadFileStart(const std::string& path, std::size_t count);

// Creates or replaces a file with `bytes` through a FileReplacement: at every moment, a crash or
// a power cut included, the file's name holds all of its old bytes or all of the new ones, and a
// failure leaves the old file as it was. Throws SystemError.
void WriteWholeFile(const std::string& path, std::string_view bytes);

// The one way a file's contents are replaced. The new bytes go to a new file beside it, named
// NewNameOf(path), which is flushed to the disk and then put in the old one's place: under
// Windows by ReplaceFileW, which keeps the file's attributes, creation time and security and
// leaves the old contents under BackupNameOf(path); natively by rename, the old contents linked
// to the backup name first, with the file and its folder flushed. A replace cut short by a crash
// leaves these names behind; the next replace of the file, or FinishInterruptedReplace, puts
// them right.
// The steps of a replace, each a call to the system; tests put in their own to make one fail.
struct ReplaceSteps {
    // Creates (or empties) the new file for writing; returns its handle.
    std::function<std::intptr_t(const std::string& path)> create;
    std::function<void(std::intptr_t file, const std::string& path, std::string_view bytes)> write;
    // Forces the file's bytes to the disk and closes it.
    std::function<void(std::intptr_t file, const std::string& path)> flushAndClose;
    // Closes the file after a failure (nothing thrown).
    std::function<void(std::intptr_t file)> discard;
    // Puts `fresh` in the place of the existing file `path`, its old contents under `backup`.
    // A failure may leave `path` without a file and the old contents under `backup`.
    std::function<void(const std::string& path, const std::string& fresh,
                       const std::string& backup)>
        swap;
    std::function<void(const std::string& from, const std::string& to)> rename;
    std::function<void(const std::string& path)> remove;
    std::function<bool(const std::string& path)> exists;
};

// The steps as this system takes them.
const ReplaceSteps& SystemReplaceSteps();

class FileReplacement {
public:
    // Puts right what an interrupted replace of `path` left, then creates the new file (empty).
    // Throws SystemError.
    explicit FileReplacement(std::string path, const ReplaceSteps& steps = SystemReplaceSteps());
    // Removes the new file when it was never put in place.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Adds bytes to the new file. Throws SystemError.
    void Write(std::string_view bytes);
    // Flushes the new file and puts it in the old one's place. Afterwards the old contents, when
    // there were any, lie under BackupNameOf(path) until the caller removes or keeps them; on a
    // failure (SystemError) the old file is as it was. A file another program holds open
    // without sharing deletion cannot be replaced.
    void PutInPlace();

private:
    const ReplaceSteps& steps_;
    std::string path_;
    std::intptr_t file_;
    bool open_ = true;
    bool placed_ = false;
};

// The names a replace uses beside the file: never a history file's extension, so no reader takes
// them for one.
std::string NewNameOf(const std::string& path);
std::string BackupNameOf(const std::string& path);

// Puts right what a replace of `path` cut short by a crash left behind: when the file's name is
// empty but its backup is there, the replace was stopped between its moves and is finished (the
// new file was whole before they began) or, without a new file, the old one is put back; then the
// leftovers go. Throws SystemError when a move fails.
void FinishInterruptedReplace(const std::string& path,
                              const ReplaceSteps& steps = SystemReplaceSteps());

// Deletes a file; one that is not there is fine. Throws SystemError.
void RemoveFile(const std::string& path);

// Gives a file another name in the same folder; throws SystemError when `to` exists.
void RenameFile(const std::string& from, const std::string& to);

// Appends `bytes` to the file with one write, creating the file when it does not exist; the file
// is opened with read sharing only and always closed. The bytes are handed to the system, not
// forced to the disk (that would cost more than the rest of a message). Throws SystemError on
// failure; a write that fails part-way (a full disk, a file-size limit) is taken back, so the file
// keeps no part of `bytes`.
void AppendToFile(const std::string& path, std::string_view bytes);

// What to append to a file that begins with `head`: at most the bytes asked for, fewer when the
// file is shorter, none when it is new or empty.
using AppendComposer = std::function<std::string(std::string_view head)>;

// The same append of the bytes `compose` makes of the file's first `headSize` bytes. The file
// is read and appended to on one open that lets others only read, so no other writer comes
// between what was seen and what is written. With a `headSize` of 0 nothing is read.
void AppendToFile(const std::string& path, std::size_t headSize, const AppendComposer& compose);

// A file opened for reading in pieces while others may read, write and delete it, so that a
// history file the messenger appends to can be read meanwhile. Closed with the object.
class FileReader {
public:
    // Who else may do what with the file while it is open here.
    enum class Sharing {
        Everything,  // others read, write and delete it
        // others may read it and replace it (rename or delete), never write to it: the open waits
        // for no writer and fails while one has the file open. Natively the same as Everything:
        // Linux has no sharing modes.
        ReadAndDelete,
    };
    // Opens an existing file; throws SystemError when it cannot (missing, a folder, no rights,
    // held by another program without sharing).
    explicit FileReader(const std::string& path, Sharing sharing = Sharing::Everything);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Reads up to `size` bytes into `buffer`; 0 at the end of the file. Throws SystemError.
    std::size_t Read(char* buffer, std::size_t size);
    // Goes on reading at `offset` bytes from the file's start. Throws SystemError.
    void Seek(std::uint64_t offset);
    // The file's size when it was opened.
    std::uint64_t Size() const { return size_; }

private:
    std::string path_;
    std::intptr_t handle_;
    std::uint64_t size_ = 0;
};

// One entry of a folder listing.
struct FolderEntry {
    std::string name;  // bare name, no path
    bool isFolder = false;
};

// The entries of `folder` (ending in "\") that match the wildcard `mask` ("*", "?"; letter case
// ignored), in the order the file system gives them, "." and ".." included where it gives them.
std::vector<FolderEntry> ListFolder(const std::string& folder, const std::string& mask);

// The same, but a folder that cannot be listed (missing, no rights) throws SystemError instead
// of giving no entries.
std::vector<FolderEntry> ListFolderChecked(const std::string& folder, const std::string& mask);

// ---- User interface ----------------------------------------------------------------------------

// A modal message box with no owner, an OK button and no icon (MessageBoxA); returns when the
// user closes it. Natively there is no screen: the text goes to standard error.
void ShowMessage(const std::string& text, const std::string& caption);

// Tests watch message boxes through an observer that is called instead of showing them; null
// restores the real box.
using MessageObserver = void (*)(const std::string& text, const std::string& caption);
void SetMessageObserver(MessageObserver observer);

// Asks the shell to open a web address with the user's browser (ShellExecuteA "open", show 5).
void OpenWebAddress(const std::string& address);

}  // namespace platform
