#pragma once
// Helpers for tests that build real windows through the layer and drive them with real input
// and real messages. Every wait has a timeout.
#include "layer/control.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Dispatches queued messages until done() holds; false when it did not within the timeout.
// A WM_QUIT taken here is remembered in QuitSeen() rather than acted on.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Dispatches queued messages for a while.
void PumpFor(DWORD milliseconds);
bool QuitSeen();

// Real input through the platform.
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);
void TapKey(WORD virtualKey);
void ClickAt(POINT screen, DWORD downFlag = MOUSEEVENTF_LEFTDOWN,
             DWORD upFlag = MOUSEEVENTF_LEFTUP);
POINT ScreenCenterOf(HWND window);

// Brings the form to the front and gives the keyboard focus to window; false on timeout.
bool FocusWindow(HWND form, HWND window);

std::string ClassNameOf(HWND window);

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

// Records the class names and creation styles of the windows made on this thread while alive.
class CreationLog {
  public:
    struct Entry {
        std::string className;
        DWORD style;
    };
    CreationLog();
    ~CreationLog();
    const std::vector<Entry>& Entries() const;
};
