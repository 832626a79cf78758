// A list file beside the library ("aliases.ini", "Exclude.ini") edited in a text editor of the
// options dialog. Save writes the file only when the user changed the editor's text, so that a
// change another program (Notepad, say) made to the file while the dialog was open survives a
// Save of other settings; when both changed, the user is asked which one stays. A file whose
// bytes the editor cannot show (a NUL byte, or UTF-16 text) is not loaded into it and is never
// written through it; a file that cannot be read is neither.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dialog.h"

namespace quillet {

class ListFileEditor {
public:
    explicit ListFileEditor(std::string editor) : editor_(std::move(editor)) {}

    // Shows the file at `path` in the editor, every line break made CR LF; a missing file leaves
    // it empty. A file that cannot be read disables the editor (an error box says so); one the
    // editor cannot show makes it read-only, with a note in place of the file's text.
    void Load(platform::Dialog& form, std::string path);

    enum class Saved {
        Done,      // written, or nothing to write
        KeptFile,  // the user kept the file's own change: the editor shows it now, not written
        Failed,    // the file could not be written: an error box said why
    };
    // Writes the editor's text (CR LF line breaks, unchanged otherwise) when the user changed it.
    // When the file changed on disk since Load as well, asks first: Yes writes, No keeps the
    // file and loads it into the editor again.
    Saved Save(platform::Dialog& form);

    // The text a message finds in the file once the dialog is saved and closed.
    std::string TextAfterSaving(const platform::Dialog& form) const;

    // The English texts this part of the dialog passes through the translation.
    static std::vector<std::string> TranslatedTexts();

private:
    enum class State { Editable, Unreadable, Unshowable };

    std::string editor_;
    std::string path_;
    State state_ = State::Editable;
    std::optional<std::string> bytes_;  // the file when loaded; none: missing or unreadable
    std::string shown_;                 // the editor's text after loading
};

// Every line break (CR, LF or CR LF) made CR LF.
std::string WithCrLf(std::string_view text);

}  // namespace quillet
