#include "headless_dialog.h"

#include <algorithm>
#include <stdexcept>

#include "platform/platform.h"

namespace quillet::test {

using platform::ControlKind;

void RecordingPainter::FillRect(const platform::Rect& rect, platform::Color color) {
    PaintCall call;
    call.what = PaintCall::What::Fill;
    call.rect = rect;
    call.color = color;
    calls.push_back(call);
}

void RecordingPainter::DrawText(int x, int y, const std::string& text, platform::Color color) {
    PaintCall call;
    call.what = PaintCall::What::Text;
    call.x = x;
    call.y = y;
    call.text = text;
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

void HeadlessDialog::Select(const std::string& name, int index) {
    Control& control = Find(name);
    if (control.row.kind == ControlKind::TabControl) {
        activePage_ = index;
        return;
    }
    if (control.row.kind != ControlKind::DropDownList &&
        control.row.kind != ControlKind::OwnerDrawList) {
        throw std::invalid_argument(name + " has nothing to select");
    }
    // As the system's lists do: an index past the rows selects nothing.
    control.selected =
        index >= 0 && static_cast<std::size_t>(index) < control.items.size() ? index : -1;
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

std::optional<std::string> HeadlessDialog::BrowseForFolder() {
    return folderChoice;
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
    Control& typed = Find(control);
    if (!typed.enabled || typed.readOnly) {
        throw std::logic_error(control + " is disabled or read-only: it takes no typing");
    }
    typed.text = text;
    events_.OnChange(control);
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
