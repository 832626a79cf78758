// User-interface services of the POSIX platform layer. There is no screen:
// a message box is a line on standard error, a web address goes to xdg-open.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/unicode.h"

extern char** environ;

namespace platform {

namespace {

MessageObserver messageObserver = nullptr;

std::string AnsiToUtf8(const std::string& text) {
    return posix::Utf16ToUtf8(AnsiToWide(text));
}

}  // namespace

void ShowMessage(const std::string& text, const std::string& caption) {
    if (messageObserver != nullptr) {
        messageObserver(text, caption);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(caption).c_str(), AnsiToUtf8(text).c_str());
    std::fflush(stderr);
}

void SetMessageObserver(MessageObserver observer) {
    messageObserver = observer;
}

void OpenWebAddress(const std::string& address) {
    // A shell starts xdg-open in the background and ends at once, so the browser runs on its own
    // and this waits only for that shell. The address is the shell's argument, never its script.
    const std::string url = AnsiToUtf8(address);
    const char* arguments[] = {"sh", "-c",        "xdg-open \"$1\" >/dev/null 2>&1 &",
                               "sh", url.c_str(), nullptr};
    pid_t shell = 0;
    if (::posix_spawnp(&shell, "sh", nullptr, nullptr, const_cast<char* const*>(arguments),
                       environ) != 0) {
        return;  // no shell: the address is not opened, as on a system without a browser
    }
    int status = 0;
    ::waitpid(shell, &status, 0);
}

}  // namespace platform
