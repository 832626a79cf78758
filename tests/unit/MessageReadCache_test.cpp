#include "config/MessageReadCache.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "test_support.h"

namespace quillet {
namespace {

using test::TempFolder;

class MessageReadCacheTest : public testing::Test {
protected:
    void Store(const char* bytes) { test::WriteBytes(folder.native("a.ini"), bytes); }
    std::optional<std::string> Read() { return ReadFileForMessage(folder.path("a.ini")); }
    TempFolder folder;
};

TEST_F(MessageReadCacheTest, OutsideAScopeEveryReadGoesToTheFile) {
    EXPECT_FALSE(Read());
    Store("one");
    EXPECT_EQ(Read(), "one");
    Store("two");
    EXPECT_EQ(Read(), "two");
}

TEST_F(MessageReadCacheTest, AScopeKeepsTheFirstReadUntilItEnds) {
    {
        const MessageReadScope message;
        EXPECT_FALSE(Read());  // a missing file is kept as missing too
        Store("one");
        EXPECT_FALSE(Read());
        {
            const MessageReadScope inner;  // changes nothing, and its end drops nothing
            EXPECT_FALSE(Read());
        }
        EXPECT_FALSE(Read());
        ForgetFileForMessage(folder.path("a.ini"));
        EXPECT_EQ(Read(), "one");
        Store("two");
        EXPECT_EQ(Read(), "one");
    }
    EXPECT_EQ(Read(), "two");
    const MessageReadScope next;
    EXPECT_EQ(Read(), "two");
    Store("three");
    EXPECT_EQ(Read(), "two");
}

}  // namespace
}  // namespace quillet
