// A long piece of work the options dialog does itself (a search, a conversion), a piece at a time
// with the dialog's messages let run between pieces: the button that started it reads "Stop" or
// "Cancel" meanwhile and asks it to stop, and the controls that must wait (those that save,
// close or change what it works on) are disabled; all comes back however the work ends.
#pragma once

#include <string>
#include <vector>

#include "platform/dialog.h"

namespace quillet {

class StoppableTask {
public:
    bool running() const { return running_; }
    bool stopAsked() const { return stopAsked_; }
    // The button was clicked again while the task runs.
    void AskToStop() { stopAsked_ = true; }

    // While it lives, the task runs.
    class Run {
    public:
        Run(StoppableTask& task, platform::Dialog& form, const std::string& button,
            const std::string& busyCaption, const std::vector<std::string>& held);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

    private:
        StoppableTask& task_;
        platform::Dialog& form_;
        std::string button_;
        std::string caption_;
        std::vector<std::string> held_;  // those that were enabled
    };

private:
    bool running_ = false;
    bool stopAsked_ = false;
};

}  // namespace quillet
