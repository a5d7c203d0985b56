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

// Each option's command, value count and group come from one table: an alias, a repeated
// command, a two-value option with its first value attached, and each group's misplacement.
TEST(ProgramOptions, OptionTableEntries) {
    std::string error;
    EXPECT_EQ(ParseOptions({"-h"}, error)->command, C::Help);
    EXPECT_EQ(ParseOptions({"--list", "--list"}, error)->command, C::List);
    EXPECT_EQ(ParseOptions({"--add", "x", "--once"}, error)->schedule, 0);
    const auto every = ParseOptions({"--add", "x", "--every=3", "hours"}, error);
    ASSERT_TRUE(every) << error;
    EXPECT_EQ(every->repeatValue, 3);
    EXPECT_EQ(every->repeatUnit, "hours");

    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{"--add", "u", "--every", "3"}, "option '--every' requires a value"},
        {{"--add", "u", "--check", "v"}, "option '--check' cannot be combined"},
        {{"--list", "--download"}, "task options need '--add URI'"},
        {{"--add", "u", "--output", "f"}, "'--output' needs '--check URI --download'"},
    };
    for (const auto& c : cases) {
        std::string caseError;
        EXPECT_FALSE(ParseOptions(c.args, caseError));
        EXPECT_NE(caseError.find(c.message), std::string::npos) << caseError;
    }
}

}  // namespace
}  // namespace tellweir
