#pragma once
// Helpers for tests that build real windows through the layer and drive them with real input
// and real messages. Every wait has a bound that a busy machine meets.
#include "layer/control.h"

#include <gtest/gtest.h>
#include <windows.h>

// Dispatches queued messages until done() holds; false when it did not within the timeout.
// A WM_QUIT taken here is remembered in QuitSeen() rather than acted on.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
bool QuitSeen();
// Dispatches queued messages for a while.
void PumpFor(DWORD milliseconds);

// A real mouse click through the platform, at a point on the screen.
void ClickAt(POINT screen, DWORD downFlag = MOUSEEVENTF_LEFTDOWN,
             DWORD upFlag = MOUSEEVENTF_LEFTUP);
POINT ScreenCenterOf(HWND window);

// Posts a real WM_DROPFILES to window, with a drop block made the way the shell makes one.
void PostDrop(HWND window, const std::vector<std::string>& names, POINT point);

// The layer keeps process-wide state; every window test starts from a clean queue, no
// application window and a running application.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Releases a form made by the test, unless the test released it itself.
    void ReleaseForm(Control*& form);
};
