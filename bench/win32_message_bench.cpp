// The cost of one message through Quillet.dll under Windows (Wine here), beside the floor: the
// same entry bytes appended to the same history file with one open, one write and one close.
//
// Usage: quillet-win32-bench <path of Quillet.dll> [seconds per measurement]
// Each case copies the library into a fresh folder with the case's rule files, loads it through
// its export, starts it up and times received messages through HandleEvent; the floor is timed
// in the same process against the same file. Prints one RATIO line per case and SCALE lines of
// time per message as the alias rules and the exclusion list grow.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_cases.h"
#include "plugin/main.h"

namespace {

using quillet::IDAXPlugin;
using quillet::TPluginEvent;
using quillet::bench::CaseSetup;

double secondsPerMeasurement = 0.5;

void Fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

void WriteWhole(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot create " + path);
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    if (!ok || written != bytes.size()) Fail("cannot write " + path);
}

// Puts a file's last-write time a minute back: settings and rules are saved a while before
// messages come, and the plug-in may then take them as last read.
void SaveAMinuteAgo(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + path);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    ticks.QuadPart -= 60ull * 10000000ull;
    const FILETIME before{ticks.LowPart, ticks.HighPart};
    const BOOL ok = SetFileTime(file, nullptr, nullptr, &before);
    CloseHandle(file);
    if (!ok) Fail("cannot set the time of " + path);
}

std::string ReadWhole(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + path);
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD got = 0;
    const BOOL ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    if (!ok) Fail("cannot read " + path);
    bytes.resize(got);
    return bytes;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + name + "\\");
            } else {
                DeleteFileA((folder + name).c_str());
            }
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

std::u16string Wide(const std::string& ascii) {
    return {ascii.begin(), ascii.end()};
}

// One loaded copy of the library in its own folder, started up, with one history file per
// contact already written by one message each.
class MessageBench {
public:
    MessageBench(const std::string& library, const CaseSetup& setup, int number) {
        std::vector<char> temp(MAX_PATH + 1);
        GetTempPathA(static_cast<DWORD>(temp.size()), temp.data());
        folder_ = std::string(temp.data()) + "quillet-bench-" +
                  std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number) + "\\";
        RemoveTree(folder_);
        if (!CreateDirectoryA(folder_.c_str(), nullptr)) Fail("cannot create " + folder_);
        if (!CopyFileA(library.c_str(), (folder_ + "Quillet.dll").c_str(), FALSE)) {
            Fail("cannot copy " + library);
        }
        if (setup.aliasRules > 0) {
            WriteWhole(folder_ + "aliases.ini", quillet::bench::AliasFileFor(setup));
            SaveAMinuteAgo(folder_ + "aliases.ini");
        }
        if (setup.savedSettings) {
            WriteWhole(folder_ + "Quillet.ini", quillet::bench::SettingsFileFor(setup));
            SaveAMinuteAgo(folder_ + "Quillet.ini");
        }
        if (setup.excludedEntries > 0) {
            WriteWhole(folder_ + "Exclude.ini", quillet::bench::ExcludeFileFor(setup));
        }
        Load();
        for (int i = 0; i < setup.contacts; ++i) {
            const std::string uin = quillet::bench::ContactUin(i);
            contacts_.push_back(Wide(uin));
            files_.push_back(folder_ + "HISTORY\\ICQ\\777\\" + uin + ".TXT");
            Send(static_cast<std::size_t>(i));
        }
        entry_ = ReadWhole(files_.front());
        if (entry_.empty()) throw std::runtime_error("the plug-in wrote nothing");
        if (setup.largeHistory) GrowTo1GB(files_.front());
    }
    ~MessageBench() {
        if (plugin_) plugin_->Release();
        if (module_) FreeLibrary(module_);
        RemoveTree(folder_);
    }
    MessageBench(const MessageBench&) = delete;
    MessageBench& operator=(const MessageBench&) = delete;

    void Send(std::size_t contact) {
        quillet::bench::SendReceived(*plugin_, contacts_[contact].c_str());
    }

    void AppendFloor(std::size_t contact) {
        HANDLE file = CreateFileA(files_[contact].c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) Fail("floor open");
        DWORD written = 0;
        const BOOL ok =
            WriteFile(file, entry_.data(), static_cast<DWORD>(entry_.size()), &written, nullptr);
        if (!CloseHandle(file) || !ok) Fail("floor write");
    }

    std::size_t contacts() const { return contacts_.size(); }

private:
    void Load() {
        module_ = LoadLibraryA((folder_ + "Quillet.dll").c_str());
        if (!module_) Fail("cannot load the library");
        const auto create = reinterpret_cast<quillet::CreateCorvexPLUGINProc>(
            reinterpret_cast<void*>(GetProcAddress(module_, "CreateCorvexPLUGIN")));
        if (!create) Fail("no CreateCorvexPLUGIN export");
        create(&plugin_, nullptr);
        if (!plugin_) throw std::runtime_error("no plug-in object");
        plugin_->GetPluginInfo()->DllHandle = module_;
        TPluginEvent startUp{quillet::EVENT_STARTUP, nullptr, 0, 0, 0};
        plugin_->HandleEvent(&startUp);
    }

    static void GrowTo1GB(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) Fail("cannot open " + path);
        LARGE_INTEGER size{};
        size.QuadPart = 1LL << 30;
        const BOOL ok = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
        CloseHandle(file);
        if (!ok) Fail("cannot grow " + path);
    }

    std::string folder_;
    HMODULE module_ = nullptr;
    IDAXPlugin* plugin_ = nullptr;
    std::vector<std::u16string> contacts_;
    std::vector<std::string> files_;
    std::string entry_;
};

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

// Microseconds per call of `step(i)`, over at least 20 calls and the measurement time.
template <typename Step>
double MicrosecondsPerCall(Step step) {
    const double start = Now();
    std::size_t calls = 0;
    double elapsed = 0;
    while (calls < 20 || elapsed < secondsPerMeasurement) {
        step(calls++);
        elapsed = Now() - start;
    }
    return elapsed / static_cast<double>(calls) * 1e6;
}

struct Timing {
    double plugin;
    double floor;
};

// The plug-in and the floor timed in alternation, three rounds each; the best round of each.
Timing TimeCase(const std::string& library, const CaseSetup& setup) {
    static int number = 0;
    MessageBench bench(library, setup, ++number);
    Timing best{1e300, 1e300};
    for (int round = 0; round < 3; ++round) {
        const double plugin =
            MicrosecondsPerCall([&](std::size_t i) { bench.Send(i % bench.contacts()); });
        const double floor =
            MicrosecondsPerCall([&](std::size_t i) { bench.AppendFloor(i % bench.contacts()); });
        if (plugin < best.plugin) best.plugin = plugin;
        if (floor < best.floor) best.floor = floor;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <path of Quillet.dll> [seconds per measurement]\n",
                     argv[0]);
        return 2;
    }
    if (argc > 2) secondsPerMeasurement = std::atof(argv[2]);
    const std::string library = argv[1];
    try {
        quillet::bench::PrintRatioHeader();
        for (const auto& [name, setup] : quillet::bench::kRatioCases) {
            const Timing t = TimeCase(library, setup);
            quillet::bench::PrintRatio(name, t.plugin, t.floor);
        }
        quillet::bench::PrintScaleHeader();
        for (const int n : quillet::bench::kScales) {
            const Timing aliases = TimeCase(library, {.aliasRules = n});
            const Timing excluded = TimeCase(library, {.excludedEntries = n});
            quillet::bench::PrintScale(n, aliases.plugin, excluded.plugin,
                                       (aliases.floor + excluded.floor) / 2);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "benchmark failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
