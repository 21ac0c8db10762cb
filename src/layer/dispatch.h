#pragma once
// Message dispatch and the application loop. Every window class of the layer has
// LayerWindowProc as its procedure; a message passes the control's attached handlers (newest
// first) and then the layer's built-in handling, which ends in the default processing of the
// system class.
#include "layer/control.h"

#include <windows.h>

// The application's main window: set by ApplicationLoop (and by the application right after it
// made its form); cleared by TerminateApplication.
extern Control* ApplicationWindow;
// Set when the quit message is taken from the queue or the application is terminated; from then
// on attached handlers are no longer called. Never cleared.
extern bool ApplicationTerminated;
// The control whose window CreateControlWindow is making; taken by the first message the new
// window receives.
extern Control* PendingWindowObject;

// Notifications that Win32 sends to a parent, handed back to the child control they concern.
constexpr UINT ReflectedColorBase = 0xBC00;
constexpr UINT ReflectedCommand = 0xB005;

LRESULT CALLBACK LayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
LRESULT HandleMessage(Control* control, WindowMessage& message);
// Attaches handler (once; attaching it again does nothing).
void AttachHandler(Control* control, MessageHandler handler);
LRESULT DefaultProcessing(Control* control, const WindowMessage& message);

// Makes control its form's current control and gives it the keyboard focus.
void FocusControl(Control* control);

// Runs the program: makes the windows still missing, shows them and dispatches messages until
// the application is terminated; then releases the window and clears the reference.
void ApplicationLoop(Control*& window);
// Takes at most one message from the queue and dispatches it; a WM_QUIT only sets
// ApplicationTerminated. False when the queue was empty or the message was WM_NULL.
bool ProcessOneMessage(Control* applicationWindow);
void ProcessPendingMessages(Control* applicationWindow);
void TerminateApplication(Control*& window);

// Handlers the layer attaches at creation.
bool ChildControlHandler(Control* control, WindowMessage& message, LRESULT& result);
bool ButtonHandler(Control* control, WindowMessage& message, LRESULT& result);
bool FormFocusHandler(Control* control, WindowMessage& message, LRESULT& result);
bool FormBackgroundHandler(Control* control, WindowMessage& message, LRESULT& result);
// Attached by SetDropFilesHandler: hands the dropped names, joined by CR, to DropFilesHandler.
bool DropFilesMessageHandler(Control* control, WindowMessage& message, LRESULT& result);
