#!/usr/bin/python3
"""Drops files, or a PNG picture without a file, on the X window at a screen
point, as a drag-and-drop source does (XDND version 5). Exits 0 once the
target has finished the drop, 1 when it refused it, 2 on a timeout.

usage: xdnd_drop.py STATUS X Y --files PATH...   (a text/uri-list)
       xdnd_drop.py STATUS X Y --png PATH        (image/png, as a browser gives it)

The exit status is also written to the file STATUS, once the drop is over,
for a caller that cannot wait for this process.
"""
import os
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, protocol
from Xlib.support import unix_connect

_connect_unix = unix_connect._get_unix_socket


def _abstract_first(address):
    """Reaches the server as xcb, and so Wine, does: by the abstract socket
    first. Where servers of the same display number share one network
    namespace but not /tmp, the socket file may belong to another one."""
    if not address.startswith("\0"):
        try:
            return _connect_unix("\0" + address)
        except OSError:
            pass
    return _connect_unix(address)


unix_connect._get_unix_socket = _abstract_first


def deepest_aware(disp, root, x, y):
    """The innermost window under the point that says it takes XDND."""
    aware, window, found = disp.intern_atom("XdndAware"), root, None
    while True:
        child = window.translate_coords(root, x, y).child
        if not child:
            return found
        if child.get_full_property(aware, Xatom.ATOM):
            found = child
        window = child


def send(disp, target, source, name, data):
    event = protocol.event.ClientMessage(
        window=target, client_type=disp.intern_atom(name),
        data=(32, [source.id] + data + [0] * (4 - len(data))))
    target.send_event(event)
    disp.flush()


def answer(disp, request, mime, payload):
    """Gives the selection's bytes to a target that asks for them."""
    prop = request.property if request.target == mime else X.NONE
    if prop != X.NONE:
        request.requestor.change_property(prop, mime, 8, payload)
    notify = protocol.event.SelectionNotify(
        time=request.time, requestor=request.requestor, selection=request.selection,
        target=request.target, property=prop)
    request.requestor.send_event(notify)
    disp.flush()


def main():
    x, y, mode, paths = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5:]
    if mode == "--files":
        # Separated by CRLF, as the format's definition asks.
        mime_name = "text/uri-list"
        payload = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
    else:
        mime_name = "image/png"
        with open(paths[0], "rb") as f:
            payload = f.read()
    disp = display.Display()
    root = disp.screen().root
    mime = disp.intern_atom(mime_name)
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(disp.intern_atom("XdndSelection"), X.CurrentTime)
    # A window just shown may not be mapped yet: look again for a while.
    target, end = None, time.time() + 5
    while target is None and time.time() < end:
        target = deepest_aware(disp, root, x, y)
        time.sleep(0.05) if target is None else None
    if target is None:
        print("no XDND-aware window under", x, y, file=sys.stderr)
        return 1
    send(disp, target, source, "XdndEnter", [5 << 24, mime])
    send(disp, target, source, "XdndPosition",
         [0, x << 16 | y, X.CurrentTime, disp.intern_atom("XdndActionCopy")])
    status, finished = disp.intern_atom("XdndStatus"), disp.intern_atom("XdndFinished")
    dropped, end = False, time.time() + 20
    while time.time() < end:
        if not disp.pending_events():
            time.sleep(0.01)
            continue
        event = disp.next_event()
        if event.type == X.SelectionRequest:
            answer(disp, event, mime, payload)
        elif event.type == X.ClientMessage and event.client_type == status and not dropped:
            if not event.data[1][1] & 1:
                print("the window refused the drop", file=sys.stderr)
                return 1
            send(disp, target, source, "XdndDrop", [0, X.CurrentTime])
            dropped = True
        elif event.type == X.ClientMessage and event.client_type == finished:
            return 0
    return 2


def report(status_path, status):
    """Writes the status whole or not at all: the reader polls for the file."""
    with open(status_path + ".part", "w") as f:
        f.write(str(status))
    os.replace(status_path + ".part", status_path)
    return status


if __name__ == "__main__":
    sys.exit(report(sys.argv[1], main()))
