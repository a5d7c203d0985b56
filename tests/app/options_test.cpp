// The command line: commands, task options, and the mistakes that end with status 2.
#include <gtest/gtest.h>

#include "app/options.h"

namespace tellweir {
namespace {

using Args = std::vector<std::string>;
using C = ProgramOptions::Command;

TEST(ProgramOptions, CommandsAndTaskOptions) {
    std::string error;
    EXPECT_EQ(ParseOptions({}, error)->command, C::Headless);
    EXPECT_EQ(ParseOptions({"-winstart"}, error)->command, C::Headless);
    EXPECT_EQ(ParseOptions({"--list"}, error)->command, C::List);
    EXPECT_EQ(ParseOptions({"--remove=Page"}, error)->name, "Page");

    const auto add = ParseOptions({"--add", "/tmp/a.txt", "--name", "A", "--download", "--every",
                                   "5", "minutes", "--weekdays=23456"},
                                  error);
    ASSERT_TRUE(add) << error;
    EXPECT_EQ(add->command, C::Add);
    EXPECT_EQ(add->uri, "/tmp/a.txt");
    EXPECT_EQ(add->name, "A");
    EXPECT_TRUE(add->download);
    EXPECT_EQ(add->schedule, 1);
    EXPECT_EQ(add->repeatValue, 5);
    EXPECT_EQ(add->repeatUnit, "minutes");
    EXPECT_EQ(add->weekdays, "23456");
    EXPECT_EQ(ParseOptions({"--add", "x", "--manual"}, error)->schedule, 2);
    const auto check = ParseOptions({"--check", "http://h/", "--download", "--output=f"}, error);
    ASSERT_TRUE(check) << error;
    EXPECT_EQ(check->command, C::Check);
    EXPECT_TRUE(check->download);
    EXPECT_EQ(check->output, "f");
}

TEST(ProgramOptions, MistakesAreNamed) {
    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--add"}, "option '--add' requires a value"},
        {{"--list", "--remove", "x"}, "cannot be combined"},
        {{"--name", "x"}, "task options need '--add URI'"},
        {{"--add", "u", "--every", "0", "seconds"}, "positive whole number"},
        {{"--add", "u", "--every", "3", "fortnights"}, "unknown unit 'fortnights'"},
        {{"--add", "u", "--weekdays", "8"}, "digits 1 (Sunday)"},
        {{"--check", "u", "--every", "1", "days"}, "task options need '--add URI'"},
        {{"--list", "--output", "f"}, "'--output' needs '--check URI --download'"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseOptions(c.args, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tellweir
