#pragma once
// Where a control is and how big it is. Bounds of a child are in its parent's client
// coordinates, bounds of a form in screen coordinates and include its frame. Alignment keeps a
// child glued to an edge of its parent's client area; it is inactive until the first
// SetAlignment.
#include "layer/control.h"

#include <windows.h>

#include <cstdint>

// The bounds, read back from the window when it exists.
RECT BoundsRect(Control* control);
void SetBoundsRect(Control* control, const RECT& bounds);

// Moving keeps the size; sizing keeps the left and top edges.
void SetLeft(Control* control, int32_t x);
void SetTop(Control* control, int32_t y);
int32_t Width(Control* control);
int32_t Height(Control* control);
void SetWidth(Control* control, int32_t width);
void SetHeight(Control* control, int32_t height);
Control* SetPosition(Control* control, int32_t x, int32_t y);
// A 0 argument keeps that dimension.
Control* SetSize(Control* control, int32_t width, int32_t height);

// The client area (0, 0, width, height); makes the window (hidden) when there is none.
RECT ClientRect(Control* control);
int32_t ClientWidth(Control* control);
int32_t ClientHeight(Control* control);
// Only arguments above 0 are applied; the frame is measured on the window as it is now.
Control* SetClientSize(Control* control, int32_t width, int32_t height);

// Centres a form on the primary screen, a child in its parent's client area.
void CenterOnParent(Control* control);

// The handler runs on every WM_SIZE, before the default processing and the alignment.
void SetResizeHandler(Control* control, NotifyHandler handler);
bool ResizeMessageHandler(Control* control, WindowMessage& message, LRESULT& result);

Control* SetAlignment(Control* control, ControlAlignment alignment);
void RequestAlign(Control* control);
void AlignChildren(Control* parent);
// Called after every WM_SIZE and around every show or hide: RequestAlign once alignment is in
// use, nothing before.
void RunAlignmentHook(Control* control);
