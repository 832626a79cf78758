#include "headless_dialog.h"

#include <algorithm>
#include <stdexcept>

namespace quillet::test {

using platform::ControlKind;

void RecordingPainter::FillRect(const platform::Rect& rect, platform::Color color) {
    PaintCall call;
    call.what = PaintCall::What::Fill;
    call.rect = rect;
    call.color = color;
    calls.push_back(call);
}

void RecordingPainter::DrawText(int x, int y, const std::u16string& text, platform::Color color) {
    PaintCall call;
    call.what = PaintCall::What::Text;
    call.x = x;
    call.y = y;
    call.text = platform::WideToUtf8(text);
    call.color = color;
    calls.push_back(call);
}

void RecordingPainter::DrawIconFile(const std::string& icoPath, int x, int y) {
    PaintCall call;
    call.what = PaintCall::What::Icon;
    call.x = x;
    call.y = y;
    call.text = icoPath;
    calls.push_back(call);
}

HeadlessDialog::HeadlessDialog(const std::vector<platform::ControlSpec>& layout,
                               platform::DialogEvents& events)
    : events_(events) {
    if (layout.empty() || layout.front().kind != ControlKind::Form) {
        throw std::invalid_argument("a layout starts with the form");
    }
    for (const platform::ControlSpec& row : layout) {
        const std::string name = row.name != nullptr ? row.name : "";
        const std::string parent = row.parent != nullptr ? row.parent : "";
        if (name.empty() || byName_.count(name) != 0) {
            throw std::invalid_argument("missing or repeated control name \"" + name + "\"");
        }
        if (!controls_.empty()) {
            const auto found = byName_.find(parent);
            if (found == byName_.end()) {
                throw std::invalid_argument(name + " names a parent not given before it");
            }
            const ControlKind parentKind = controls_[found->second].row.kind;
            if ((row.kind == ControlKind::Page) != (parentKind == ControlKind::TabControl)) {
                throw std::invalid_argument(name + ": pages, and only pages, go on tab controls");
            }
        }
        Control control;
        control.row = row;
        control.text = row.text != nullptr ? row.text : "";
        control.readOnly = (row.flags & platform::kReadOnly) != 0;
        byName_[name] = controls_.size();
        controls_.push_back(std::move(control));
    }
}

HeadlessDialog::Control& HeadlessDialog::Find(const std::string& name) {
    const auto found = byName_.find(name);
    if (found == byName_.end()) throw std::out_of_range("no control \"" + name + "\"");
    return controls_[found->second];
}

const HeadlessDialog::Control& HeadlessDialog::Find(const std::string& name) const {
    const auto found = byName_.find(name);
    if (found == byName_.end()) throw std::out_of_range("no control \"" + name + "\"");
    return controls_[found->second];
}

const platform::ControlSpec& HeadlessDialog::Row(const std::string& control) const {
    return Find(control).row;
}

HeadlessDialog::Control& HeadlessDialog::FindListView(const std::string& name) {
    Control& control = Find(name);
    if (control.row.kind != ControlKind::ListView)
        throw std::invalid_argument(name + " is no list view");
    return control;
}

HeadlessDialog::Control& HeadlessDialog::Typeable(const std::string& name) {
    Control& typed = Find(name);
    if (!typed.enabled || typed.readOnly) {
        throw std::logic_error(name + " is disabled or read-only: it takes no typing");
    }
    return typed;
}

// A list shows its selected row; a tab control has no text of its own.
std::string HeadlessDialog::Text(const std::string& name) const {
    const Control& control = Find(name);
    switch (control.row.kind) {
        case ControlKind::DropDownList:
        case ControlKind::OwnerDrawList:
            return control.selected >= 0 ? control.items[static_cast<std::size_t>(control.selected)]
                                         : std::string();
        case ControlKind::TabControl:
            return {};
        default:
            return control.text;
    }
}

// A drop-down list selects the row of that text, letter case ignored; none, no change.
void HeadlessDialog::SetText(const std::string& name, const std::string& text) {
    Control& control = Find(name);
    if (control.row.kind == ControlKind::DropDownList) {
        for (std::size_t i = 0; i < control.items.size(); ++i) {
            if (platform::EqualIgnoreCase(control.items[i], text)) {
                control.selected = static_cast<int>(i);
                return;
            }
        }
        return;
    }
    control.text = text;
    control.wideText.reset();
}

// As a window of the wide functions: its text read in the ANSI code page loses what that lacks.
std::u16string HeadlessDialog::WideText(const std::string& name) const {
    const Control& control = Find(name);
    return control.wideText ? *control.wideText : platform::AnsiToWide(Text(name));
}

void HeadlessDialog::SetWideText(const std::string& name, const std::u16string& text) {
    Control& control = Find(name);
    control.text = platform::WideToAnsi(text);
    control.wideText = text;
}

bool HeadlessDialog::Enabled(const std::string& control) const {
    return Find(control).enabled;
}

void HeadlessDialog::SetEnabled(const std::string& control, bool enabled) {
    Find(control).enabled = enabled;
}

void HeadlessDialog::AddItem(const std::string& name, const std::string& text) {
    Control& control = Find(name);
    if (control.row.kind != ControlKind::DropDownList &&
        control.row.kind != ControlKind::OwnerDrawList) {
        throw std::invalid_argument(name + " has no rows");
    }
    control.items.push_back(text);
}

std::vector<std::string> HeadlessDialog::Items(const std::string& control) const {
    return Find(control).items;
}

int HeadlessDialog::SelectedIndex(const std::string& name) const {
    const Control& control = Find(name);
    return control.row.kind == ControlKind::TabControl ? activePage_ : control.selected;
}

void HeadlessDialog::SetColumns(const std::string& name,
                                const std::vector<platform::ListColumn>& columns) {
    FindListView(name).columns = columns;
}

void HeadlessDialog::SetRows(const std::string& name, const std::vector<platform::ListRow>& rows) {
    Control& control = FindListView(name);
    control.rows = rows;
    control.selected = -1;
}

void HeadlessDialog::Select(const std::string& name, int index) {
    Control& control = Find(name);
    if (control.row.kind == ControlKind::TabControl) {
        activePage_ = index;
        return;
    }
    std::size_t count = control.items.size();
    if (control.row.kind == ControlKind::ListView) {
        count = control.rows.size();
    } else if (control.row.kind != ControlKind::DropDownList &&
               control.row.kind != ControlKind::OwnerDrawList) {
        throw std::invalid_argument(name + " has nothing to select");
    }
    // As the system's lists do: an index past the rows selects nothing.
    control.selected = index >= 0 && static_cast<std::size_t>(index) < count ? index : -1;
}

int HeadlessDialog::ActivePage() const {
    return activePage_;
}

void HeadlessDialog::ShowPage(int index) {
    activePage_ = index;
}

void HeadlessDialog::Repaint(const std::string& control) {
    ++Find(control).repaints;
}

int HeadlessDialog::repaints(const std::string& control) const {
    return Find(control).repaints;
}

void HeadlessDialog::SetProgress(const std::string& name, int position, int maximum) {
    Control& control = Find(name);
    if (control.row.kind != ControlKind::ProgressBar) {
        throw std::invalid_argument(name + " is no progress bar");
    }
    maximum = std::max(maximum, 1);
    control.progress = {std::clamp(position, 0, maximum), maximum};
}

void HeadlessDialog::ProcessMessages() {
    ++processMessagesCalls;
    if (whileProcessingMessages) whileProcessingMessages(*this);
}

std::optional<std::string> HeadlessDialog::BrowseForFolder(const std::string& hint) {
    folderHint = hint;
    return folderChoice;
}

void HeadlessDialog::OpenFile(const std::string& path) {
    if (openFailure) throw *openFailure;
    openedFiles.push_back(path);
}

void HeadlessDialog::ShowError(const std::string& text, const std::string& caption) {
    errors_.push_back({text, caption});
}

void HeadlessDialog::ShowInformation(const std::string& text, const std::string& caption) {
    informations_.push_back({text, caption});
}

bool HeadlessDialog::AskYesNo(const std::string& text, const std::string& caption) {
    questions_.push_back({text, caption});
    if (answers.empty()) throw std::logic_error("a question no test expected: " + text);
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

void HeadlessDialog::RunModal() {
    closed_ = false;
    events_.OnShow();
    if (!closed_ && whileShown) whileShown(*this);
}

void HeadlessDialog::Close() {
    closed_ = true;
}

void HeadlessDialog::Click(const std::string& control) {
    Control& clicked = Find(control);
    if (!clicked.enabled) throw std::logic_error(control + " is disabled: it takes no click");
    if (clicked.row.kind == ControlKind::CheckBox) clicked.checked = !clicked.checked;
    events_.OnClick(control);
}

void HeadlessDialog::Pick(const std::string& control, int index) {
    Select(control, index);
    events_.OnChange(control);
}

void HeadlessDialog::DoubleClick(const std::string& control, int index) {
    Select(control, index);
    events_.OnDoubleClick(control);
}

void HeadlessDialog::SwitchToPage(int index) {
    for (const Control& control : controls_) {
        if (control.row.kind == ControlKind::TabControl) {
            activePage_ = index;
            events_.OnChange(control.row.name);
            return;
        }
    }
    throw std::logic_error("the layout has no tab control");
}

void HeadlessDialog::Type(const std::string& control, const std::string& text) {
    Control& typed = Typeable(control);
    typed.text = text;
    typed.wideText.reset();
    events_.OnChange(control);
}

void HeadlessDialog::TypeWide(const std::string& control, const std::u16string& text) {
    Typeable(control);
    SetWideText(control, text);
    events_.OnChange(control);
}

void HeadlessDialog::PressEnter(const std::string& control) {
    if (Find(control).row.kind != ControlKind::Edit)
        throw std::logic_error(control + " is no edit");
    events_.OnEnterKey(control);
}

void HeadlessDialog::ClickColumn(const std::string& control, int column) {
    const Control& list = FindListView(control);
    if (column < 0 || static_cast<std::size_t>(column) >= list.columns.size()) {
        throw std::logic_error(control + " has no column " + std::to_string(column));
    }
    events_.OnColumnClick(control, column);
}

int HeadlessDialog::MeasureRow(const std::string& control, int index, int textHeight) {
    Find(control);
    return events_.OnMeasureItem(control, index, textHeight);
}

std::vector<PaintCall> HeadlessDialog::PaintRow(const std::string& control, int index,
                                                const platform::Rect& rect, bool selected) {
    Find(control);
    RecordingPainter painter;
    events_.OnDrawItem(control, index, rect, selected, painter);
    return painter.calls;
}

}  // namespace quillet::test
