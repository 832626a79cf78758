// The cost of one message through the plug-in's event entry, beside the floor: the same entry
// bytes appended to the same history file with one open, one write and one close each.
//
// Every case is timed twice in one run, "Plugin/<case>" and "Floor/<case>"; at the end the
// program prints the ratio of each pair and a table of time per message as the alias rules and
// the exclusion list grow.
//
// `quillet-bench --messages N CASE` only sends N messages of one of kCountedCases, for callgrind
// to count the instructions of the plug-in's event entry (scripts/bench.sh, INSTR lines).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_cases.h"
#include "config/u_SimpleAliases.h"
#include "plugin/main.h"
#include "unit/test_support.h"

namespace {

using quillet::IDAXPlugin;
using quillet::bench::AliasFileFor;
using quillet::bench::CaseSetup;
using quillet::bench::SettingsFileFor;
using quillet::test::TempFolder;

// A plug-in in a fresh folder with the case's rule files, its contacts' history files made by
// one message each (so both sides time the steady state: folders exist, files exist).
class MessageBench {
public:
    explicit MessageBench(const CaseSetup& setup) : pluginPath_(folder_) {
        if (setup.aliasRules > 0) WriteSavedAMinuteAgo("aliases.ini", AliasFileFor(setup));
        if (setup.savedSettings) WriteSavedAMinuteAgo("Quillet.ini", SettingsFileFor(setup));
        if (setup.excludedEntries > 0) {
            quillet::test::WriteBytes(folder_.native("Exclude.ini"),
                                      quillet::bench::ExcludeFileFor(setup));
        }
        CreateCorvexPLUGIN(&plugin_, nullptr);
        if (!plugin_) throw std::runtime_error("no plug-in object");
        // A new plug-in object starts with empty lists; start-up fills them, here from the
        // folder ScopedPluginPath names.
        quillet::ReloadLists();
        if (quillet::ExcludeList.size() != static_cast<std::size_t>(setup.excludedEntries)) {
            throw std::runtime_error("the exclusion list did not load");
        }
        for (int i = 0; i < setup.contacts; ++i) {
            const std::string uin = quillet::bench::ContactUin(i);
            contacts_.push_back(ToU16(uin));
            Send(i);
            files_.push_back(
                quillet::test::NativePath(folder_.path("HISTORY\\ICQ\\777\\" + uin + ".TXT")));
        }
        const auto bytes = quillet::test::ReadBytes(files_.front());
        if (!bytes || bytes->empty()) throw std::runtime_error("the plug-in wrote nothing");
        entry_ = *bytes;
        if (setup.largeHistory) {
            if (::truncate(files_.front().c_str(), off_t{1} << 30) != 0) {
                throw std::runtime_error("cannot grow the history file");
            }
        }
    }
    ~MessageBench() {
        if (plugin_) plugin_->Release();
    }

    void Send(std::size_t contact) {
        quillet::bench::SendReceived(*plugin_, contacts_[contact].c_str());
    }

    void AppendFloor(std::size_t contact) {
        const int file = ::open(files_[contact].c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
        if (file < 0 || ::write(file, entry_.data(), entry_.size()) < 0 || ::close(file) != 0) {
            throw std::runtime_error("floor append failed");
        }
    }

    std::size_t contacts() const { return contacts_.size(); }

private:
    // Files saved a while before messages come, as settings and rules are: the plug-in may take
    // them as last read.
    void WriteSavedAMinuteAgo(const char* name, const std::string& bytes) {
        quillet::test::WriteBytes(folder_.native(name), bytes);
        std::filesystem::last_write_time(
            folder_.native(name),
            std::filesystem::file_time_type::clock::now() - std::chrono::minutes(1));
    }

    static std::u16string ToU16(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

    TempFolder folder_;
    quillet::test::ScopedPluginPath pluginPath_;
    quillet::test::ScopedEnv timeFormat_{"QUILLET_TIME_FORMAT", "HH:mm:ss"};
    IDAXPlugin* plugin_ = nullptr;
    std::vector<std::u16string> contacts_;
    std::vector<std::filesystem::path> files_;
    std::string entry_;
};

// Times one step of the bench (a message or the floor's append), to each contact in turn.
template <void (MessageBench::*step)(std::size_t)>
void TimeStep(benchmark::State& state, CaseSetup setup) {
    MessageBench bench(setup);
    std::size_t next = 0;
    for (auto _ : state) {
        (bench.*step)(next);
        next = (next + 1) % bench.contacts();
    }
}
constexpr auto TimePlugin = TimeStep<&MessageBench::Send>;
constexpr auto TimeFloor = TimeStep<&MessageBench::AppendFloor>;

void RegisterPair(const std::string& name, CaseSetup setup) {
    benchmark::RegisterBenchmark(("Plugin/" + name).c_str(), TimePlugin, setup)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("Floor/" + name).c_str(), TimeFloor, setup)
        ->Unit(benchmark::kMicrosecond);
}

// Keeps each run's time per iteration, in microseconds, by benchmark name.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
            microseconds[run.benchmark_name()] = seconds * 1e6;
        }
    }
    std::map<std::string, double> microseconds;
};

void PrintSummary(const std::map<std::string, double>& us) {
    const auto time = [&](const std::string& name) {
        const auto found = us.find(name);
        return found == us.end() ? -1.0 : found->second;
    };
    std::printf("\n");
    quillet::bench::PrintRatioHeader();
    for (const auto& [name, setup] : quillet::bench::kRatioCases) {
        const double plugin = time("Plugin/" + std::string(name));
        const double floor = time("Floor/" + std::string(name));
        if (plugin >= 0 && floor > 0) quillet::bench::PrintRatio(name, plugin, floor);
    }
    quillet::bench::PrintScaleHeader();
    for (const int n : quillet::bench::kScales) {
        quillet::bench::PrintScale(n, time("Plugin/aliases_" + std::to_string(n)),
                                   time("Plugin/exclude_" + std::to_string(n)),
                                   time("Floor/default"));
    }
}

// The cases whose instructions per message are counted: the default, and 100 alias rules with
// 10 000 exclusion entries together.
constexpr quillet::bench::NamedCase kCountedCases[] = {
    {"default", {}},
    {"aliases_100_exclude_10000", {.aliasRules = 100, .excludedEntries = 10000}},
    // Two contacts in turn: no message is from the contact of the one before.
    {"contacts_2_in_turn", {.contacts = 2}},
};

// Sends `count` messages of the case named `name` and nothing else; 2 for an unknown case.
int SendMessagesOnly(long count, const std::string& name) {
    for (const auto& [caseName, setup] : kCountedCases) {
        if (name != caseName) continue;
        MessageBench bench(setup);
        for (long i = 0; i < count; ++i) bench.Send(static_cast<std::size_t>(i) % bench.contacts());
        return 0;
    }
    std::fprintf(stderr, "no counted case %s\n", name.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--messages") {
        return SendMessagesOnly(std::strtol(argv[2], nullptr, 10), argv[3]);
    }
    for (const auto& [name, setup] : quillet::bench::kRatioCases) RegisterPair(name, setup);
    for (const int n : quillet::bench::kScales) {
        benchmark::RegisterBenchmark(("Plugin/aliases_" + std::to_string(n)).c_str(), TimePlugin,
                                     CaseSetup{.aliasRules = n})
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Plugin/exclude_" + std::to_string(n)).c_str(), TimePlugin,
                                     CaseSetup{.excludedEntries = n})
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter.microseconds);
    return 0;
}
