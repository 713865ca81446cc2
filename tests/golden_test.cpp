// The program's first frame against its reference picture, through whichever Win32 this is
// built for: on Windows the real GDI draws the text in its own font, so the head-up rows
// above the viewport are left out of the comparison.
#include "app/app.h"
#include "bitmap/nbitmap.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <direct.h>
#define changeDirectory _chdir
#else
#include <unistd.h>
#define changeDirectory chdir
#endif

namespace {

const int firstSceneRow = 29;  // the rows above hold only the head-up text

TEST(GoldenFrame, FirstFrameMatchesItsReferenceBelowTheHeadUpText) {
    NBitmap reference;
    reference.clear();
    ASSERT_TRUE(reference.readBmp(QUILLON_SOURCE_DIR "/tests/golden/first-frame.bmp"));
    ASSERT_EQ(changeDirectory(QUILLON_SOURCE_DIR "/assets"), 0);
#ifdef _WIN32
    HINSTANCE instance = GetModuleHandleA(NULL);  // which holds the menu resource
#else
    HINSTANCE instance = NULL;
#endif
    ASSERT_TRUE(startApplication(instance, SW_HIDE));
    renderFrame();
    ASSERT_EQ(clientRect.right, reference.width());
    ASSERT_EQ(clientRect.bottom, reference.height());

    int differing = 0, firstX = -1, firstY = -1;
    for (int y = firstSceneRow; y < reference.height(); ++y) {
        const unsigned char* row = reference.rowPointer(y);
        for (int x = 0; x < reference.width(); ++x, row += 3) {
            COLORREF expected = RGB(row[2], row[1], row[0]);
            if (GetPixel(backBuffer.dc, x, y) != expected && differing++ == 0) {
                firstX = x;
                firstY = y;
            }
        }
    }
    EXPECT_EQ(differing, 0) << "the first differing pixel is at (" << firstX << ", " << firstY
                            << ")";
    reference.destroy();

    // Leave the process as the other tests expect it: no window, no quit waiting, the cursor
    // shown and free.
    DestroyWindow(mainWindow);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    }
    ClipCursor(NULL);
    ShowCursor(TRUE);
}

}  // namespace
