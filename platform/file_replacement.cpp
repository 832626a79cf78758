// The order of a replace, the same on every system: what each step does is the system's
// (SystemReplaceSteps in files_win32.cpp and files_posix.cpp).
#include <utility>

#include "platform/platform.h"

namespace platform {

std::string NewNameOf(const std::string& path) {
    return path + ".quillet-new";
}

std::string BackupNameOf(const std::string& path) {
    return path + ".quillet-old";
}

void FinishInterruptedReplace(const std::string& path, const ReplaceSteps& steps) {
    const std::string fresh = NewNameOf(path);
    const std::string backup = BackupNameOf(path);
    if (!steps.exists(path) && steps.exists(backup)) {
        // Stopped between its moves: the new file was flushed whole before they began.
        steps.rename(steps.exists(fresh) ? fresh : backup, path);
    }
    steps.remove(fresh);
    steps.remove(backup);
}

FileReplacement::FileReplacement(std::string path, const ReplaceSteps& steps)
    : steps_(steps), path_(std::move(path)) {
    FinishInterruptedReplace(path_, steps_);
    file_ = steps_.create(NewNameOf(path_));
}

FileReplacement::~FileReplacement() {
    if (placed_) return;
    if (open_) steps_.discard(file_);
    try {
        steps_.remove(NewNameOf(path_));
    } catch (const SystemError&) {
        // Left for the next replace of the file to remove.
    }
}

void FileReplacement::Write(std::string_view bytes) {
    steps_.write(file_, NewNameOf(path_), bytes);
}

void FileReplacement::PutInPlace() {
    const std::string fresh = NewNameOf(path_);
    open_ = false;
    steps_.flushAndClose(file_, fresh);
    if (!steps_.exists(path_)) {
        steps_.rename(fresh, path_);
        placed_ = true;
        return;
    }
    const std::string backup = BackupNameOf(path_);
    try {
        steps_.swap(path_, fresh, backup);
    } catch (const SystemError&) {
        // A swap that failed half-way left the old contents under the backup name: the new
        // file goes in after all, or the old one goes back.
        if (steps_.exists(path_) || !steps_.exists(backup)) throw;
        try {
            steps_.rename(fresh, path_);
        } catch (const SystemError&) {
            steps_.rename(backup, path_);
            throw;
        }
    }
    placed_ = true;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
    FileReplacement replacement(path);
    replacement.Write(bytes);
    replacement.PutInPlace();
    try {
        RemoveFile(BackupNameOf(path));
    } catch (const SystemError&) {
        // The new contents are in place; the next replace of the file removes the backup.
    }
}

}  // namespace platform
