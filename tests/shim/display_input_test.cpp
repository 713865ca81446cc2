// The menu bar and the pointer as a display reports them: what reaches the program's queue.
#include "tests/shim/program.h"

#include "app/menu.h"
#include "platform/display/display_input.h"

#include <vector>

namespace {

class DisplayInputTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        drain();
        display = {};
        shim::bindDisplayInput(&display, mainWindow);
    }

    static std::vector<MSG> drain() {
        std::vector<MSG> messages;
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (msg.message != WM_PAINT) {
                messages.push_back(msg);
            } else {
                DispatchMessageA(&msg);
            }
        }
        return messages;
    }

    void click(int x, int y) {
        shim::displayLeftButton(&display, x, y, true);
        shim::displayLeftButton(&display, x, y, false);
    }

    // The middle of a menu bar entry, or of an item in the open popup, on the display.
    POINT entryPoint(int entry) const {
        const shim::MenuBarEntry& bar = display.menu.entries[entry];
        return {(bar.start + bar.end) / 2, shim::menuBarHeight / 2};
    }
    POINT itemPoint(int item) const {
        const shim::MenuBarEntry& row = display.menu.entries[display.openEntry].children[item];
        return {shim::displayPopupLeft(display) + 30,
                shim::menuBarHeight + (row.start + row.end) / 2};
    }

    shim::DisplayInput display;
};

TEST_F(DisplayInputTest, FileOpensItsPopupAndExitBecomesTheCommand) {
    ASSERT_TRUE(display.hasMenu);
    ASSERT_EQ(display.menu.entries.size(), 2u);
    click(entryPoint(0).x, entryPoint(0).y);
    EXPECT_EQ(display.openEntry, 0);
    EXPECT_TRUE(drain().empty());  // the menu took the click and its release

    shim::displayPointerMoved(&display, itemPoint(0).x, itemPoint(0).y);
    EXPECT_EQ(display.hoveredItem, 0);
    click(itemPoint(0).x, itemPoint(0).y);
    EXPECT_EQ(display.openEntry, -1);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, (UINT)WM_COMMAND);
    EXPECT_EQ(LOWORD(messages[0].wParam), commandExit);
}

TEST_F(DisplayInputTest, AnEntryWithoutPopupIsACommandAtOnce) {
    click(entryPoint(1).x, entryPoint(1).y);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(LOWORD(messages[0].wParam), commandMenuLabel);
}

TEST_F(DisplayInputTest, AnOpenPopupTakesTheKeyboardAndEscapeClosesIt) {
    click(entryPoint(0).x, entryPoint(0).y);
    shim::displayKey(&display, 'W', true, false);
    EXPECT_EQ(display.openEntry, 0);
    shim::displayKey(&display, VK_ESCAPE, true, false);
    EXPECT_EQ(display.openEntry, -1);
    EXPECT_TRUE(drain().empty());  // neither key reached the program
}

TEST_F(DisplayInputTest, ClickingBesideThePopupClosesItAndReachesNobody) {
    click(entryPoint(0).x, entryPoint(0).y);
    click(300, 300);
    EXPECT_EQ(display.openEntry, -1);
    EXPECT_TRUE(drain().empty());
}

TEST_F(DisplayInputTest, KeysCarryRepeatAndReleaseBits) {
    shim::displayKey(&display, 'A', true, false);
    shim::displayKey(&display, 'A', true, true);
    shim::displayKey(&display, 'A', false, false);
    shim::displayKey(&display, 0, true, false);  // a key without a virtual key
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].lParam, 1);
    EXPECT_EQ(messages[1].lParam, 0x40000001);
    EXPECT_EQ(messages[2].message, (UINT)WM_KEYUP);
    EXPECT_EQ((unsigned)messages[2].lParam, 0xC0000001u);
}

TEST_F(DisplayInputTest, ClientClicksArriveInClientCoordinatesBelowTheBar) {
    click(100, shim::menuBarHeight + 80);
    std::vector<MSG> messages = drain();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, (UINT)WM_MOUSEMOVE);
    EXPECT_EQ(messages[1].message, (UINT)WM_LBUTTONDOWN);
    EXPECT_EQ(messages[1].lParam, MAKELPARAM(100, 80));
    EXPECT_EQ(messages[2].message, (UINT)WM_LBUTTONUP);
}

TEST_F(DisplayInputTest, AConfinedCursorStaysInsideAndAsksForThePointerBack) {
    POINT corner = {0, 0};
    ClientToScreen(mainWindow, &corner);
    RECT box = {corner.x + 10, corner.y + 10, corner.x + 50, corner.y + 50};
    ClipCursor(&box);
    drain();
    EXPECT_TRUE(shim::displayPointerMoved(&display, 200, shim::menuBarHeight + 200));
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, box.right - 1);
    EXPECT_EQ(cursor.y, box.bottom - 1);
    EXPECT_FALSE(shim::displayPointerMoved(&display, 49, shim::menuBarHeight + 49));
    ClipCursor(NULL);
}

}  // namespace
