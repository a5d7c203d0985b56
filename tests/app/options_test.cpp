// The command line: commands, task options, and the mistakes that end with status 2.
#include <gtest/gtest.h>

#include "app/options.h"

namespace tellweir {
namespace {

using Args = std::vector<std::string>;
using C = ProgramOptions::Command;

std::optional<ProgramOptions> Parse(const Args& args, std::string& error) {
    return ParseOptions(args, "/home/u", error);
}

TEST(ProgramOptions, CommandsAndTaskOptions) {
    std::string error;
    EXPECT_EQ(Parse({}, error)->command, C::Desktop);
    EXPECT_FALSE(Parse({}, error)->startHidden);
    EXPECT_EQ(Parse({"--headless"}, error)->command, C::Headless);
    // The start switches, with "-" or "/", in any case, hide the window whatever comes with them.
    for (const char* hide : {"-winstart", "/minimize", "-MINIMIZED", "/WinStart"}) {
        const auto hidden = Parse({hide}, error);
        ASSERT_TRUE(hidden) << hide;
        EXPECT_EQ(hidden->command, C::Desktop) << hide;
        EXPECT_TRUE(hidden->startHidden) << hide;
    }
    EXPECT_EQ(Parse({"--headless", "-winstart"}, error)->command, C::Headless);
    EXPECT_EQ(Parse({"--list"}, error)->command, C::List);
    EXPECT_EQ(Parse({"--remove=Page"}, error)->name, "Page");

    const auto add = Parse({"--add", "/tmp/a.txt", "--name", "A", "--download", "--every", "5",
                            "minutes", "--weekdays=23456"},
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
    EXPECT_EQ(Parse({"--add", "x", "--manual"}, error)->schedule, 2);
    const auto check = Parse({"--check", "http://h/", "--download", "--output=f"}, error);
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
        EXPECT_FALSE(Parse(c.args, error));
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

// One limit on the whole command line, each argument counted with one byte more: a name far
// longer than the old 64 KiB request limit passes, one byte over the limit does not.
TEST(ProgramOptions, CommandLineLimit) {
    std::string error;
    const std::string name(kMaxCommandLineBytes - 10, 'n');  // "--add" "/a" "--name" take 16
    EXPECT_FALSE(Parse({"--add", "/a", "--name", name}, error));
    EXPECT_EQ(error, "the arguments are longer than 1024 KiB in all");
    const std::string fits(kMaxCommandLineBytes - 17, 'n');
    const auto parsed = Parse({"--add", "/a", "--name", fits}, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->name.size(), fits.size());
    EXPECT_TRUE(Parse(Args(kMaxCommandLineBytes / 7, "--list"), error)) << "many short ones";
    EXPECT_FALSE(Parse(Args(kMaxCommandLineBytes / 7 + 1, "--list"), error));
}

// Each option's command, value count and group come from one table: an alias, a repeated
// command, a two-value option with its first value attached, and each group's misplacement.
TEST(ProgramOptions, OptionTableEntries) {
    std::string error;
    EXPECT_EQ(Parse({"-h"}, error)->command, C::Help);
    EXPECT_EQ(Parse({"--list", "--list"}, error)->command, C::List);
    EXPECT_EQ(Parse({"--add", "x", "--once"}, error)->schedule, 0);
    const auto every = Parse({"--add", "x", "--every=3", "hours"}, error);
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
        EXPECT_FALSE(Parse(c.args, caseError));
        EXPECT_NE(caseError.find(c.message), std::string::npos) << caseError;
    }
}

// The URI is given as a task keeps it: "file:" URIs (--add and --check) and, for --add, texts
// without a scheme become absolute paths; URLs stay as written.
TEST(ProgramOptions, UriBecomesAnAbsolutePath) {
    const struct {
        Args args;
        const char* uri;
    } cases[] = {
        {{"--add", "file:///tmp/a%20b.txt"}, "/tmp/a b.txt"},
        {{"--add", "file://localhost/tmp/a.txt"}, "/tmp/a.txt"},
        {{"--check", "file:///tmp/a.txt"}, "/tmp/a.txt"},
        {{"--add", "page.txt"}, "/home/u/page.txt"},
        {{"--add", "../v/./page.txt"}, "/home/v/page.txt"},
        {{"--add", "/tmp/a.txt"}, "/tmp/a.txt"},
        {{"--add", "~/a.txt"}, "~/a.txt"},
        {{"--add", "http://h/a.txt"}, "http://h/a.txt"},
        {{"--check", "www.site.test/a"}, "www.site.test/a"},  // --check guesses the protocol
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = Parse(c.args, error);
        ASSERT_TRUE(options) << c.args[1] << ": " << error;
        EXPECT_EQ(options->uri, c.uri);
    }
    std::string error;
    EXPECT_FALSE(ParseOptions({"--add", "page.txt"}, "", error));
    EXPECT_NE(error.find("the current folder is unknown"), std::string::npos) << error;
    EXPECT_EQ(Parse({"--add", "/a", "--name", "  A  "}, error)->name, "A");
}

// What --add would store but could never run, list or remove ends with status 2 and says why.
TEST(ProgramOptions, UnusableTasksAreRefused) {
    const struct {
        Args args;
        const char* message;
    } cases[] = {
        {{"--add", "sftp://u:secret@h/x"},
         "cannot watch 'sftp://u:****@h/x': tasks watch http://, https:// and ftp:// URLs and "
         "local paths"},
        {{"--add", "ftps://h/x"}, "cannot watch 'ftps://h/x'"},
        {{"--add", "HTTP://h/x"}, "cannot watch 'HTTP://h/x'"},
        {{"--add", "javascript:alert(1)"}, "cannot watch 'javascript:alert(1)'"},
        {{"--add", "file://server/share/a.txt"}, "names no absolute path on this machine"},
        {{"--check", "file:relative.txt"}, "names no absolute path on this machine"},
        {{"--add", "/a", "--name", "   "}, "a task's name cannot be blank"},
        {{"--add", "/a", "--name", "two\nlines"}, "cannot hold control characters"},
        {{"--add", "/a", "--name", "tab\there"}, "cannot hold control characters"},
        {{"--add", "file:///tmp/a%0Ab"}, "the URI cannot hold control characters"},
        {{"--add", "/a", "--once", "--manual"}, "'--manual' cannot be combined with '--once'"},
        {{"--add", "/a", "--manual", "--every", "1", "days"},
         "'--every 1 days' cannot be combined with '--manual'"},
        {{"--add", "/a", "--every", "1", "days", "--every", "2", "days"},
         "'--every 2 days' cannot be combined with '--every 1 days'"},
        {{"--add", "/a", "--once", "--weekdays", "23"},
         "'--weekdays' cannot be combined with '--once'"},
        // What the task would refuse when it is added is a mistake in the command line.
        {{"--add", "http://"}, "Invalid URL: \"http://\"."},
        {{"--add", "http://127.0.0.1:99999/"}, "Invalid URL: \"http://127.0.0.1:99999/\"."},
        {{"--add", "ftp://u:secret@:21/"}, "Invalid URL: \"ftp://u:****@:21/\"."},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, error)) << c.args[1];
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    std::string error;
    EXPECT_TRUE(Parse({"--add", "http://127.0.0.1:65534/"}, error)) << error;
    EXPECT_TRUE(Parse({"--add", "/a", "--once", "--once"}, error)) << error;
    EXPECT_TRUE(Parse({"--add", "/a", "--weekdays", "23"}, error)) << error;
}

// --history, --diff and --mark-viewed: which versions each takes, and the choices that exclude
// one another.
TEST(ProgramOptions, VersionCommands) {
    const struct {
        Args args;
        C command;
        std::optional<int> from, to, text;
        bool unseen;
    } cases[] = {
        {{"--history", "Page"}, C::History, {}, {}, {}, false},
        {{"--diff", "Page"}, C::Diff, {}, {}, {}, false},
        {{"--diff", "Page", "--from", "2", "--to=5"}, C::Diff, 2, 5, {}, false},
        {{"--to", "5", "--diff", "Page"}, C::Diff, {}, 5, {}, false},
        {{"--diff", "Page", "--text", "3"}, C::Diff, {}, {}, 3, false},
        {{"--diff", "Page", "--unseen"}, C::Diff, {}, {}, {}, true},
        {{"--mark-viewed", "Page", "--to", "4"}, C::MarkViewed, {}, 4, {}, false},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = Parse(c.args, error);
        ASSERT_TRUE(options) << c.args[0] << ": " << error;
        EXPECT_EQ(options->command, c.command) << c.args[0];
        EXPECT_EQ(options->name, "Page");
        EXPECT_EQ(options->fromVersion, c.from) << c.args[0];
        EXPECT_EQ(options->toVersion, c.to) << c.args[0];
        EXPECT_EQ(options->textVersion, c.text) << c.args[0];
        EXPECT_EQ(options->unseen, c.unseen) << c.args[0];
    }

    const struct {
        Args args;
        const char* message;
    } mistakes[] = {
        {{"--diff"}, "option '--diff' requires a value"},
        {{"--history", "P", "--diff", "P"}, "cannot be combined with another command"},
        {{"--diff", "P", "--from", "0"}, "a version is a positive whole number, not '0'"},
        {{"--diff", "P", "--to", "2x"}, "not '2x'"},
        {{"--diff", "P", "--text", "-1"}, "not '-1'"},
        {{"--history", "P", "--from", "1"}, "'--from' needs '--diff NAME'"},
        {{"--list", "--unseen"}, "'--unseen' needs '--diff NAME'"},
        {{"--history", "P", "--to", "1"}, "'--to' needs '--diff NAME' or '--mark-viewed NAME'"},
        {{"--mark-viewed", "P", "--from", "1"}, "'--from' needs '--diff NAME'"},
        {{"--diff", "P", "--text", "1", "--to", "2"}, "'--text' cannot be combined"},
        {{"--diff", "P", "--text", "1", "--unseen"}, "'--text' cannot be combined"},
        {{"--diff", "P", "--unseen", "--from", "1"}, "'--unseen' cannot be combined"},
    };
    for (const auto& c : mistakes) {
        std::string error;
        EXPECT_FALSE(Parse(c.args, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace tellweir
