#include "ui/StoppableTask.h"

namespace quillet {

StoppableTask::Run::Run(StoppableTask& task, platform::Dialog& form, const std::string& button,
                        const std::string& busyCaption, const std::vector<std::string>& held)
    : task_(task), form_(form), button_(button), caption_(form.Text(button)) {
    task_.running_ = true;
    task_.stopAsked_ = false;
    form_.SetText(button_, busyCaption);
    for (const std::string& control : held) {
        if (form_.Enabled(control)) held_.push_back(control);
    }
    for (const std::string& control : held_) form_.SetEnabled(control, false);
}

StoppableTask::Run::~Run() {
    for (const std::string& control : held_) form_.SetEnabled(control, true);
    form_.SetText(button_, caption_);
    task_.running_ = false;
}

}  // namespace quillet
