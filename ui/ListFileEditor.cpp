#include "ui/ListFileEditor.h"

#include "platform/platform.h"
#include "ui/BoxCaptions.h"
#include "ui/LanguageSupport.h"

namespace quillet {

namespace {

// Shown in the editor of a file it cannot show; the editor does not wrap lines.
constexpr const char* NoteCannotShow =
    "This file cannot be shown here:/nit is saved as Unicode (UTF-16)/nor holds a NUL byte./n/nIt "
    "is left as it is, and Save/ndoes not change it. To edit it here,/nsave it in Notepad with "
    "the encoding/nANSI, then open this dialog again.";
constexpr const char* QuestionBothChanged =
    "\"%1\" was changed by another program while this dialog was open, and you changed it here "
    "too. Replace the file with the text shown here? No keeps the file as it is and shows it "
    "here.";

// Text an edit control would cut short or turn into other bytes: a NUL ends its text, and UTF-16
// (with its byte-order mark) is not the code page's text.
bool EditorCanShow(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) return false;
    return !bytes.starts_with("\xFF\xFE") && !bytes.starts_with("\xFE\xFF");
}

// A translated text for a text editor: its "/n" breaks, which come as LF CR, made CR LF.
std::string EditorText(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i + 1 < text.size() && text[i + 1] == '\r') {
            result += "\r\n";
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace

std::string WithCrLf(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            result += "\r\n";
        } else {
            result += text[i];
        }
    }
    return result;
}

void ListFileEditor::Load(platform::Dialog& form, std::string path) {
    path_ = std::move(path);
    state_ = State::Editable;
    bytes_.reset();
    form.SetEnabled(editor_, true);
    form.SetReadOnly(editor_, false);
    if (platform::FileExists(path_)) {
        bytes_ = platform::ReadWholeFile(path_);
        if (!bytes_) {
            state_ = State::Unreadable;
            form.SetText(editor_, "");
            form.SetEnabled(editor_, false);
            form.ShowError("Cannot read file \"" + path_ + "\". It is left as it is.",
                           ErrorCaption);
            return;
        }
        if (!EditorCanShow(*bytes_)) {
            state_ = State::Unshowable;
            form.SetText(editor_, EditorText(TranslateAnsi(NoteCannotShow)));
            form.SetReadOnly(editor_, true);
            return;
        }
    }
    form.SetText(editor_, WithCrLf(bytes_.value_or("")));
    // What the editor holds, read back: the control may hold some bytes otherwise than given,
    // and only the user's own change counts as one.
    shown_ = form.Text(editor_);
}

ListFileEditor::Saved ListFileEditor::Save(platform::Dialog& form) {
    if (state_ != State::Editable) return Saved::Done;
    const std::string text = form.Text(editor_);
    if (text == shown_) return Saved::Done;
    const std::optional<std::string> now =
        platform::FileExists(path_) ? platform::ReadWholeFile(path_) : std::nullopt;
    if (now != bytes_ &&
        !form.AskYesNo(TranslateFilled(QuestionBothChanged, path_), QuilletCaption)) {
        Load(form, path_);
        return Saved::KeptFile;
    }
    const bool existed = platform::FileExists(path_);
    try {
        platform::WriteWholeFile(path_, WithCrLf(text));
    } catch (const platform::SystemError& error) {
        const char* failed = existed ? "Cannot write file \"" : "Cannot create file \"";
        form.ShowError(failed + path_ + "\". " + error.reason(), ErrorCaption);
        return Saved::Failed;
    }
    bytes_ = WithCrLf(text);
    shown_ = text;
    return Saved::Done;
}

std::string ListFileEditor::TextAfterSaving(const platform::Dialog& form) const {
    std::string text = form.Text(editor_);
    if (state_ == State::Editable && text != shown_) return text;
    // Save leaves the file alone: a message finds in it what it holds then, another program's
    // change included; a file that cannot be read gives no rules or entries.
    return platform::ReadWholeFile(path_).value_or("");
}

std::vector<std::string> ListFileEditor::TranslatedTexts() {
    return {NoteCannotShow, QuestionBothChanged};
}

}  // namespace quillet
