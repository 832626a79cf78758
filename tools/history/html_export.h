// The HTML printer of quillet-history: "export --format html --output DIR" makes one page per
// history file and an index.html that links them with each contact's count and dates.
//
// Every page stands alone: UTF-8, its style inline, and a Content-Security-Policy that allows no
// script and no load from anywhere, so a page opened from a disk or a mail fetches nothing. Every
// text and name of the history is written as characters, never as markup: a message
// "<img src=x onerror=alert(1)>" shows those characters.
//
// Pages are written while the history is read: a page holds back at most about a megabyte (until
// the contact's name for its title is known) and then hands its bytes on in pieces, so a history
// of any size goes through in bounded memory. What stays for the index is a line per file.
//
// The tool drives it with what the reader yields:
//   HtmlExport html(outputFolder);                  // or HtmlExport(OpenExportFile)
//   for each history file below the root:
//       html.BeginFile(pathBelowRoot, "UTF-8");
//       while (reader.Next(entry)) html.AddEntry(entry);
//       html.EndFile();
//   html.Finish();                                  // index.html
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "history/DateTime.h"
#include "history/HistoryReader.h"

namespace quillet {

// One output file of the export, opened by whoever runs it. Write adds bytes at the end; Close
// completes the file. Both throw (platform::SystemError or another std::exception) when the bytes
// cannot be kept. An object destroyed without Close is a file left unfinished.
class ExportFile {
public:
    virtual ~ExportFile() = default;
    virtual void Write(std::string_view bytes) = 0;
    virtual void Close() = 0;
};

// Creates (or replaces) the output file `fileName`, a bare name such as "index.html" or
// "ICQ_777_12345.html" (ASCII letters, digits, "_", "-", "."), and returns it open. Throws when
// it cannot.
using OpenExportFile = std::function<std::unique_ptr<ExportFile>(const std::string& fileName)>;

// Output files in `folder` (a platform path in the Windows form, with or without a closing "\"),
// written through the platform layer: a file's first piece replaces what the file held, later
// pieces are appended. The folder is made when it is missing (its parent must exist; the
// SystemError of CreateFolder passes through otherwise).
OpenExportFile ExportFilesInFolder(const std::string& folder);

class HtmlExport {
public:
    // Pages and the index go to `folder` through ExportFilesInFolder.
    explicit HtmlExport(const std::string& folder);
    // Pages and the index go wherever `open` puts them.
    explicit HtmlExport(OpenExportFile open);
    ~HtmlExport();
    HtmlExport(const HtmlExport&) = delete;
    HtmlExport& operator=(const HtmlExport&) = delete;

    // Begins the page of one history file and returns the page's file name. `displayPath` is the
    // history file's path below the history root in the ANSI code page ("ICQ\777\12345.TXT"): it
    // is shown on the page and in the index, and the page's name is made from it (separators and
    // every character but ASCII letters and digits as "_", the extension dropped, a Windows
    // device name kept from being one, a number added when the name is taken). `encodingName`
    // says how the file's texts were read ("UTF-8", "ANSI 1251") and is shown on the page. A page
    // still open is ended first. Throws what opening the page's file throws.
    std::string BeginFile(const std::string& displayPath, std::string_view encodingName);

    // Adds an entry to the page, in file order: a new day begins a new group.
    void AddEntry(const HistoryEntry& entry);

    // Ends the page and lists it in the index.
    //
    // When writing a page fails, the exception passes through AddEntry or EndFile and the page is
    // dropped: it is not listed, and AddEntry and EndFile do nothing until the next BeginFile, so
    // the caller can report the error and go on with the next file.
    void EndFile();

    // Ends a page still open and writes index.html: a row per page with the contact's name, the
    // history file's path, its number of entries and its first and last date. Throws what
    // writing it throws.
    void Finish();

private:
    struct Page;
    struct Listed {
        std::string pageName;
        std::u16string displayPath;
        // The name of the first received entry with one; until then the history file's name.
        std::u16string contact;
        std::uint64_t entries = 0;
        std::optional<DateTimeFields> first;
        std::optional<DateTimeFields> last;
    };

    void WriteHead(Page& page);
    void Flush(Page& page, bool force);
    template <typename Action>
    void OrDrop(Action action);

    OpenExportFile open_;
    std::unique_ptr<Page> page_;
    std::vector<Listed> listed_;
    std::unordered_set<std::string> takenNames_;  // in lower case
};

}  // namespace quillet
