// Many messages through one plug-in object, as a messenger that runs for weeks delivers them: the
// process must hold as many handles and about as much memory at the end as after the first few.
// QUILLET_SOAK_MESSAGES sets the count (scripts/test.sh runs a million natively once).
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/probes.h"
#include "test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHandleTolerance = 4;         // handles the runtime may open lazily
constexpr std::size_t kMemoryTolerance = 4u << 20;  // allocator noise, in bytes
constexpr int kWarmUpMessages = 200;                // caches filled, files created
constexpr std::array<const char16_t*, 10> kContacts = {u"10000", u"10001", u"10002", u"10003",
                                                       u"10004", u"10005", u"10006", u"10007",
                                                       u"10008", u"10009"};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFreedMemoryIsHeldBack = true;  // AddressSanitizer's quarantine
#elif defined(__has_feature)
constexpr bool kFreedMemoryIsHeldBack = __has_feature(address_sanitizer);
#else
constexpr bool kFreedMemoryIsHeldBack = false;
#endif

int SoakMessages() {
    if (const char* count = std::getenv("QUILLET_SOAK_MESSAGES")) return std::atoi(count);
#if defined(_WIN32)
    return 2000;  // a file operation costs a hundred times more under Wine
#else
    return 20000;
#endif
}

// Message `i` of the soak: each contact in turn, received and answered by turns. Both names have
// three letters, so every entry has the same length.
bool SendSoakMessage(test::HostedPlugin& host, int i) {
    const char16_t* contact = kContacts[static_cast<std::size_t>(i) % kContacts.size()];
    const bool received = static_cast<std::size_t>(i) / kContacts.size() % 2 == 0;
    const TChatMessage message =
        received ? TChatMessage{0, 1197036309, u"ICQ", contact, u"Ann", u"777", u"Eve", u"soak", 0}
                 : TChatMessage{0, 1197036309, u"ICQ", u"777", u"Eve", contact, u"Ann", u"soak", 0};
    return host.Send(message, received) == 1;
}

std::uintmax_t HistoryBytes(const test::TempFolder& folder) {
    std::uintmax_t bytes = 0;
    for (const char16_t* contact : kContacts) {
        const std::string name(contact, contact + 5);
        bytes += fs::file_size(folder.native("HISTORY\\ICQ\\777\\" + name + ".TXT"));
    }
    return bytes;
}

TEST(Soak, HandlesAndMemoryStayFlatOverManyMessages) {
    const test::TempFolder folder;
    const test::ScopedPluginPath pluginPath(folder);
    test::HostedPlugin host;
    for (int i = 0; i < kWarmUpMessages; ++i) ASSERT_TRUE(SendSoakMessage(host, i));
    const std::uintmax_t entryBytes = HistoryBytes(folder) / kWarmUpMessages;
    const std::size_t handlesBefore = platform::OpenHandleCount();
    const std::size_t memoryBefore = platform::ResidentMemoryBytes();

    const int count = SoakMessages();
    int handled = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) handled += SendSoakMessage(host, kWarmUpMessages + i);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    const std::size_t handlesAfter = platform::OpenHandleCount();
    const std::size_t memoryAfter = platform::ResidentMemoryBytes();

    std::cout << "soak: " << count << " messages in " << spent.count() << " s ("
              << spent.count() / count * 1e6 << " us each); open handles " << handlesBefore
              << " -> " << handlesAfter << "; resident memory " << memoryBefore / 1024 << " KiB -> "
              << memoryAfter / 1024 << " KiB\n";
    EXPECT_EQ(handled, count);
    EXPECT_TRUE(host.TakeShown().empty());
    EXPECT_EQ(HistoryBytes(folder),
              entryBytes * static_cast<std::uintmax_t>(kWarmUpMessages + count))
        << "every message is one entry of " << entryBytes << " bytes";
    EXPECT_GT(handlesBefore, 0u) << "the handle count could not be read";
    EXPECT_LE(handlesAfter, handlesBefore + kHandleTolerance) << "handles leak";
    if (kFreedMemoryIsHeldBack) return;  // its leak check at exit covers memory instead
    EXPECT_GT(memoryBefore, 0u) << "the resident memory could not be read";
    EXPECT_LE(memoryAfter, memoryBefore + kMemoryTolerance) << "memory grows with the messages";
}

}  // namespace
}  // namespace quillet
