#include "tools/scripted_run.h"
#include "tools/whole_number.h"

#include <gtest/gtest.h>

namespace {

using shim::ScriptedEvent;
using shim::ScriptedRun;

ScriptedRun parsed(const std::string& query) {
    ScriptedRun run;
    std::string error;
    EXPECT_TRUE(shim::parseScriptedRun(query, &run, &error)) << query << ": " << error;
    return run;
}

void expectEvent(const ScriptedEvent& event, int frame, ScriptedEvent::Kind kind, int a, int b) {
    EXPECT_EQ(event.frame, frame);
    EXPECT_EQ(event.kind, kind);
    EXPECT_EQ(event.a, a);
    EXPECT_EQ(event.b, b);
}

TEST(ScriptedRunTest, AnEmptyQueryIsTheRealProgramOnTheRealClock) {
    for (const char* query : {"", "&", "&&"}) {
        ScriptedRun run = parsed(query);
        EXPECT_EQ(run.frames, 0);
        EXPECT_EQ(run.msPerFrame, -1);
        EXPECT_TRUE(run.events.empty());
        EXPECT_FALSE(run.inspect);
    }
}

TEST(ScriptedRunTest, InspectAloneKeepsTheRealClock) {
    ScriptedRun run = parsed("inspect=1");
    EXPECT_TRUE(run.inspect);
    EXPECT_EQ(run.frames, 0);
    EXPECT_EQ(run.msPerFrame, -1);
    EXPECT_FALSE(parsed("frames=2&inspect=0").inspect);
}

TEST(ScriptedRunTest, ReadsTheClockAndEveryKindOfEventInOrder) {
    ScriptedRun run = parsed(
        "frames=30&ms=16&at=5:key:C&at=10:click:40,60&at=18:move:120,150&at=2:key:Escape"
        "&at=3:key:f&at=20:command:40001&at=29:close");
    EXPECT_EQ(run.frames, 30);
    EXPECT_EQ(run.msPerFrame, 16);
    ASSERT_EQ(run.events.size(), 7u);
    expectEvent(run.events[0], 5, ScriptedEvent::key, 'C', 0);
    expectEvent(run.events[1], 10, ScriptedEvent::click, 40, 60);
    expectEvent(run.events[2], 18, ScriptedEvent::move, 120, 150);
    expectEvent(run.events[3], 2, ScriptedEvent::key, VK_ESCAPE, 0);
    expectEvent(run.events[4], 3, ScriptedEvent::key, 'F', 0);
    expectEvent(run.events[5], 20, ScriptedEvent::command, 40001, 0);
    expectEvent(run.events[6], 29, ScriptedEvent::close, 0, 0);
}

TEST(ScriptedRunTest, PercentEscapesAreDecodedAsABrowserWritesThem) {
    ScriptedRun run = parsed("at=5%3Akey%3AW&at=6%3aclick%3a1%2C2&ms=0");
    ASSERT_EQ(run.events.size(), 2u);
    expectEvent(run.events[0], 5, ScriptedEvent::key, 'W', 0);
    expectEvent(run.events[1], 6, ScriptedEvent::click, 1, 2);
    EXPECT_EQ(run.msPerFrame, 0);
}

TEST(ScriptedRunTest, RefusesBadInputAndKeepsWhatWasThere) {
    const char* bad[] = {"frames=0",
                         "frames=-1",
                         "frames=1x",
                         "frames=",
                         "frames",
                         "ms=99999999999",
                         "at=5",
                         "at=x:key:W",
                         "at=5:key:",
                         "at=5:key:F1",
                         "at=5:click:1",
                         "at=5:click:1,",
                         "at=5:move:70000,1",
                         "at=5:command:65536",
                         "at=5:closed",
                         "at=5:key:W%",
                         "at=5:key:W%4",
                         "at=5:key:%zz",
                         "inspect=2",
                         "inspect=yes",
                         "frames=3&ms=16&at"};
    for (const char* query : bad) {
        ScriptedRun run;
        run.frames = 7;
        std::string error;
        EXPECT_FALSE(shim::parseScriptedRun(query, &run, &error)) << query;
        EXPECT_EQ(run.frames, 7) << query;
        EXPECT_TRUE(run.events.empty()) << query;
        EXPECT_NE(error.find("bad parameter"), std::string::npos) << query;
    }
}

// The reader the scripted runs and the tools share: a sign only where it is taken, and a number
// too long for any int is out of range, however long, unless a later character makes it text.
TEST(WholeNumberTest, ReadsDigitsWithASignWhereOneIsTaken) {
    using shim::NumberReading;
    using shim::Sign;
    const struct {
        const char* text;
        Sign sign;
        NumberReading reading;
        int value;
    } cases[] = {
        {"0", Sign::refused, NumberReading::number, 0},
        {"007", Sign::refused, NumberReading::number, 7},
        {"2147483647", Sign::refused, NumberReading::number, 2147483647},
        {"-2147483648", Sign::taken, NumberReading::number, -2147483647 - 1},
        {"+5", Sign::taken, NumberReading::number, 5},
        {"-0", Sign::taken, NumberReading::number, 0},
        {"2147483648", Sign::taken, NumberReading::outOfRange, 99},
        {"-2147483649", Sign::taken, NumberReading::outOfRange, 99},
        {"99999999999999999999999999999", Sign::taken, NumberReading::outOfRange, 99},
        {"18446744073709551616", Sign::refused, NumberReading::outOfRange, 99},
        {"99999999999999999999x", Sign::taken, NumberReading::notANumber, 99},
        {"-5", Sign::refused, NumberReading::notANumber, 99},
        {"+5", Sign::refused, NumberReading::notANumber, 99},
        {"", Sign::taken, NumberReading::notANumber, 99},
        {"-", Sign::taken, NumberReading::notANumber, 99},
        {"--5", Sign::taken, NumberReading::notANumber, 99},
        {" 5", Sign::taken, NumberReading::notANumber, 99},
        {"5 ", Sign::taken, NumberReading::notANumber, 99},
        {"0x10", Sign::taken, NumberReading::notANumber, 99},
    };
    for (const auto& c : cases) {
        int value = 99;
        EXPECT_EQ(shim::readWholeNumber(c.text, -2147483647 - 1, 2147483647, c.sign, &value),
                  c.reading)
            << "'" << c.text << "'";
        EXPECT_EQ(value, c.value) << "'" << c.text << "'";
    }
    int value = 99;
    EXPECT_EQ(shim::readWholeNumber("9", 1, 8, Sign::refused, &value), NumberReading::outOfRange);
    EXPECT_EQ(shim::readWholeNumber("0", 1, 8, Sign::refused, &value), NumberReading::outOfRange);
    EXPECT_EQ(value, 99);
}

TEST(ScriptedRunTest, LeavesOtherParametersOfTheAddressAlone) {
    ScriptedRun run = parsed("utm_source=news&frames=3&speed=2&bad&x=%zz&ms=16&fbclid=a%2");
    EXPECT_EQ(run.frames, 3);
    EXPECT_EQ(run.msPerFrame, 16);
    EXPECT_TRUE(run.events.empty());
    std::string error;
    EXPECT_FALSE(shim::parseScriptedRun("utm_source=news&frames=abc", &run, &error));
    EXPECT_NE(error.find("'frames=abc'"), std::string::npos) << error;
}

TEST(ScriptedRunTest, PostsAKeyAsItGoesDownAndUp) {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    }
    shim::postScriptedEvent(NULL, {0, ScriptedEvent::key, 'B', 0});
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, (WPARAM)'B');
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, (UINT)WM_KEYUP);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

}  // namespace
