#!/usr/bin/python3
"""Drops files on the window at a screen point through the X display's drag-and-drop protocol
(XDND), as a file manager does: Wine turns the drop into WM_DROPFILES for a window that accepts
dropped files.

usage: xdnd_drop.py X Y PATH...      (DISPLAY names the display; exit 0 when the drop was taken)
"""
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display
from Xlib.protocol import event

XDND_VERSION = 5


class DropFailed(Exception):
    pass


def find_target(disp, atoms, x, y):
    """The innermost window under the point that announces XdndAware, with its version."""
    root = disp.screen().root
    window, found = root, None
    while True:
        aware = window.get_full_property(atoms["XdndAware"], Xatom.ATOM)
        if aware is not None and len(aware.value):
            found = (window, min(int(aware.value[0]), XDND_VERSION))
        child = window.translate_coords(root, x, y).child
        if not child:
            return found
        window = child


def client_message(disp, target, atom, data):
    message = event.ClientMessage(window=target, client_type=atom, data=(32, data))
    target.send_event(message, event_mask=0)
    disp.flush()


def drop(paths, x, y, timeout=120.0):
    disp = display.Display()
    names = ["XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop",
             "XdndLeave", "XdndFinished", "XdndActionCopy", "text/uri-list"]
    atoms = {name: disp.intern_atom(name) for name in names}
    root = disp.screen().root
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent, X.InputOnly, X.CopyFromParent,
                                event_mask=X.PropertyChangeMask)
    uri_list = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()

    found = find_target(disp, atoms, x, y)
    if found is None:
        raise DropFailed("no window under %d,%d accepts XDND drops" % (x, y))
    target, version = found
    source.set_selection_owner(atoms["XdndSelection"], X.CurrentTime)
    disp.flush()

    def answer(request):
        if request.selection == atoms["XdndSelection"] and request.target == atoms["text/uri-list"]:
            request.requestor.change_property(request.property, request.target, 8, uri_list)
            prop = request.property
        else:
            prop = X.NONE
        notify = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=prop)
        request.requestor.send_event(notify, event_mask=0)
        disp.flush()

    def wait_for(atom):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if disp.pending_events() == 0:
                time.sleep(0.01)
                continue
            ev = disp.next_event()
            if ev.type == X.SelectionRequest:
                answer(ev)
            elif ev.type == X.ClientMessage and ev.client_type == atom:
                return ev
        raise DropFailed("no %s from the target" % disp.get_atom_name(atom))

    client_message(disp, target, atoms["XdndEnter"],
                   [source.id, version << 24, atoms["text/uri-list"], 0, 0])
    client_message(disp, target, atoms["XdndPosition"],
                   [source.id, 0, (x << 16) | y, X.CurrentTime, atoms["XdndActionCopy"]])
    status = wait_for(atoms["XdndStatus"])
    if not status.data[1][1] & 1:
        client_message(disp, target, atoms["XdndLeave"], [source.id, 0, 0, 0, 0])
        raise DropFailed("the target refused the drop")
    client_message(disp, target, atoms["XdndDrop"], [source.id, 0, X.CurrentTime, 0, 0])
    wait_for(atoms["XdndFinished"])
    disp.close()


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    try:
        drop(sys.argv[3:], int(sys.argv[1]), int(sys.argv[2]))
    except DropFailed as failure:
        sys.exit("drop failed: %s" % failure)
