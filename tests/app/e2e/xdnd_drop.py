"""Drops files on the window at a screen point through the X display's drag-and-drop protocol
(XDND), as a file manager does; Wine turns the drop into WM_DROPFILES for a window that accepts
dropped files. DISPLAY names the display."""
import time
import urllib.parse

from Xlib import X, Xatom, display
from Xlib.protocol import event


def drop(paths, x, y, timeout=120.0):
    disp = display.Display()
    atom = {name: disp.intern_atom(name) for name in (
        "XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop",
        "XdndFinished", "XdndActionCopy", "text/uri-list")}
    root = disp.screen().root
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent, X.InputOnly, X.CopyFromParent)
    uris = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
    # The innermost window under the point that announces XdndAware, with its version.
    window, target = root, None
    while window:
        aware = window.get_full_property(atom["XdndAware"], Xatom.ATOM)
        if aware is not None and len(aware.value):
            target, version = window, min(int(aware.value[0]), 5)
        window = window.translate_coords(root, x, y).child
    if target is None:
        raise AssertionError("no window under %d,%d accepts XDND drops" % (x, y))
    source.set_selection_owner(atom["XdndSelection"], X.CurrentTime)

    def send(name, data):
        target.send_event(event.ClientMessage(window=target, client_type=atom[name],
                                              data=(32, [source.id] + data)), event_mask=0)
        disp.flush()

    def wait_for(name):
        """Answers requests for the names until the target sends the awaited message."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if disp.pending_events() == 0:
                time.sleep(0.01)
                continue
            ev = disp.next_event()
            if ev.type == X.SelectionRequest:
                ok = ev.target == atom["text/uri-list"]
                if ok:
                    ev.requestor.change_property(ev.property, ev.target, 8, uris)
                ev.requestor.send_event(event.SelectionNotify(
                    time=ev.time, requestor=ev.requestor, selection=ev.selection,
                    target=ev.target, property=ev.property if ok else X.NONE), event_mask=0)
                disp.flush()
            elif ev.type == X.ClientMessage and ev.client_type == atom[name]:
                return ev
        raise AssertionError("no %s from the drop target" % name)

    send("XdndEnter", [version << 24, atom["text/uri-list"], 0, 0])
    send("XdndPosition", [0, (x << 16) | y, X.CurrentTime, atom["XdndActionCopy"]])
    if not wait_for("XdndStatus").data[1][1] & 1:
        raise AssertionError("the window refused the drop")
    send("XdndDrop", [0, X.CurrentTime, 0, 0])
    wait_for("XdndFinished")
    disp.close()
