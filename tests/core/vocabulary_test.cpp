// Event and action vocabularies: name lookups, the events of each kind, action line parsing,
// the line form of action texts and the default event texts.
#include <gtest/gtest.h>

#include <set>

#include "core/action_line.h"
#include "core/default_events.h"
#include "core/event_table.h"

namespace tellweir {
namespace {

TEST(EventTable, LooksUpEitherNameWithoutRegardToCase) {
    EXPECT_EQ(FindEvent("OnContentChanged"), kEventContentChanged);
    EXPECT_EQ(FindEvent("content changed"), kEventContentChanged);
    EXPECT_EQ(FindEvent("ONHTTP4XXERROR"), kEventHttp4xxError);
    EXPECT_EQ(FindEvent("E-Tag Changed"), kEventETagChanged);
    EXPECT_EQ(FindEvent("up"), kEventUp);
    EXPECT_EQ(FindEvent("OnNothing"), -1);
    EXPECT_EQ(FindEvent(""), -1);
    EXPECT_EQ(EventHandlerName(kEventFtp5xxError), "OnFTP5xxError");
    EXPECT_EQ(EventDisplayName(kEventFirstTime), "First Time");
    EXPECT_EQ(EventDisplayName(26), "");
    EXPECT_EQ(EventDisplayName(-1), "");
}

TEST(EventTable, EventsOfEachKindInDialogOrder) {
    const auto list = [](int kind) {
        const std::span<const int> s = EventsForKind(kind);
        return std::vector<int>(s.begin(), s.end());
    };
    EXPECT_EQ(list(kKindNull), (std::vector<int>{0, 1}));
    EXPECT_EQ(list(kKindLocal), (std::vector<int>{0, 1, 2, 3, 8, 9, 10, 11, 13, 14, 15, 16}));
    EXPECT_EQ(list(1), (std::vector<int>{0, 1, 2, 3, 10, 11, 13, 14, 15, 17, 18, 4, 5, 6, 7, 19, 20,
                                         21, 22}));
    // HTTPS lists Timeout before Network.
    EXPECT_EQ(list(2), (std::vector<int>{0, 1, 2, 3, 10, 11, 13, 14, 15, 17, 18, 4, 6, 5, 7, 19, 20,
                                         21, 22}));
    EXPECT_EQ(list(3), (std::vector<int>{0, 1, 2, 3, 10, 11, 13, 14, 15, 4, 5, 6, 7, 23, 24, 25}));
    EXPECT_TRUE(list(0).empty());
    EXPECT_TRUE(list(4).empty());
    for (int kind : {kKindNull, kKindLocal, 1, 2, 3})
        EXPECT_FALSE(EventAppliesToKind(kEventChanged, kind)) << kind;
}

TEST(ActionLine, ParsesNameAndParameter) {
    struct Case {
        const char* line;
        int code;
        const char* parameter;
    };
    const Case cases[] = {
        {"Prompt Monitored resource was changed.", kActionPrompt,
         "Monitored resource was changed."},
        {"Beep Freq=500 Duration=100", kActionBeep, "Freq=500 Duration=100"},
        {"BeepFreq=100", kActionBeep, "Freq=100"},
        {"beep", kActionBeep, ""},
        {"LIGHT ICON \t text ", kActionLightIcon, "text "},
        {"Play Sound /usr/share/sounds/a.wav", kActionPlaySound, "/usr/share/sounds/a.wav"},
        {"Create Process /bin/true", kActionCreateProcess, "/bin/true"},
        {"Open in Shell http://site.test/", kActionOpenInShell, "http://site.test/"},
        {"Stop Monitor Task", kActionStopTask, ""},
        {"cleanup cache now", kActionCleanupCache, "now"},
        {"Save queue", kActionSaveQueue, ""},
        {"Display queue", kActionDisplayQueue, ""},
        {"None at all", kActionNone, "at all"},
        {"Whistle loudly", kActionNone, ""},
        {" Beep", kActionNone, ""},
        {"", kActionNone, ""},
    };
    for (const Case& c : cases) {
        std::string parameter = "stale";
        EXPECT_EQ(ParseActionLine(c.line, parameter), c.code) << c.line;
        EXPECT_EQ(parameter, c.parameter) << c.line;
    }
    for (int code = 0; code < kActionCount; ++code)
        EXPECT_EQ(IsEngineAction(code), code >= 7) << code;
}

TEST(ActionLine, SplitsAtCrLfOnly) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(SplitActionLines(""), Lines{});
    EXPECT_EQ(SplitActionLines("Beep"), Lines{"Beep"});
    EXPECT_EQ(SplitActionLines("Beep\r\n"), Lines{"Beep"});
    EXPECT_EQ(SplitActionLines("Beep\r\n\r\nPrompt x"), (Lines{"Beep", "", "Prompt x"}));
    EXPECT_EQ(SplitActionLines("Beep\nPrompt x"), Lines{"Beep\nPrompt x"});
    EXPECT_EQ(JoinActionLines({"Beep", "", "Prompt x"}), "Beep\r\n\r\nPrompt x");
    EXPECT_EQ(JoinActionLines({}), "");
}

TEST(DefaultEvents, FiveEventsGetTexts) {
    EXPECT_EQ(DefaultEventActions(kEventFirstTime),
              "Beep Freq=50 Duration=20\r\nPrompt This is a first time action prompt message.");
    EXPECT_EQ(DefaultEventActions(kEventOk), "Beep Freq=100 Duration=10");
    EXPECT_EQ(DefaultEventActions(kEventError),
              "Beep\r\nPrompt This is an error action prompt message.");
    EXPECT_EQ(DefaultEventActions(kEventUp),
              "Beep Freq=150 Duration=20\r\nPrompt Monitored resource is UP now.");
    EXPECT_EQ(DefaultEventActions(kEventContentChanged),
              "Beep Freq=500 Duration=100\r\nPrompt Monitored resource was changed.");
    std::set<int> withText;
    for (int e = 0; e < kEventCount; ++e) {
        if (!DefaultEventActions(e).empty()) withText.insert(e);
    }
    EXPECT_EQ(withText, (std::set<int>{0, 1, 2, 3, 13}));
}

}  // namespace
}  // namespace tellweir
