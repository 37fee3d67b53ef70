#!/usr/bin/python3
"""xdnd_drop.py STATUS X Y --files PATH... | --png PATH

Drops files, or a PNG without a file as a browser gives it, on the X window at
a screen point as an XDND 5 source. Writes to STATUS, for a caller that cannot
wait for this process: 0 when the drop finished, 1 refused, 2 timed out."""
import os
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, protocol
from Xlib.support import unix_connect

# Reach the server by its abstract socket first, as xcb and so Wine do: where
# servers of one display number share a network namespace but not /tmp, the
# socket file may be another server's.
_unix_socket = unix_connect._get_unix_socket


def _abstract_first(address):
    try:
        return _unix_socket("\0" + address.lstrip("\0"))
    except OSError:
        return _unix_socket(address)


unix_connect._get_unix_socket = _abstract_first


def drop(x, y, mode, paths):
    files = mode == "--files"  # the URIs separated by CRLF, as the format asks
    mime = "text/uri-list" if files else "image/png"
    payload = ("".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
               if files else open(paths[0], "rb").read())
    disp = display.Display()
    atom, root = disp.intern_atom, disp.screen().root
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(atom("XdndSelection"), X.CurrentTime)

    def send(name, *data):
        target.send_event(protocol.event.ClientMessage(
            window=target, client_type=atom(name), data=(32, [source.id, *data, 0, 0, 0][:5])))
        disp.flush()

    # The innermost window under the point that takes XDND; one just shown
    # may not be mapped yet, so look again for a while.
    target, end = None, time.time() + 5
    while target is None and time.time() < end:
        window = root
        while child := window.translate_coords(root, x, y).child:
            target = child if child.get_full_property(atom("XdndAware"), Xatom.ATOM) else target
            window = child
        time.sleep(0 if target else 0.05)
    if target is None:
        return 1
    send("XdndEnter", 5 << 24, atom(mime))
    send("XdndPosition", 0, x << 16 | y, X.CurrentTime, atom("XdndActionCopy"))
    dropped, end = False, time.time() + 20
    while time.time() < end:
        if not disp.pending_events():
            time.sleep(0.01)
            continue
        event = disp.next_event()
        if event.type == X.SelectionRequest:  # the target asks for the bytes
            prop = event.property if event.target == atom(mime) else X.NONE
            if prop != X.NONE:
                event.requestor.change_property(prop, event.target, 8, payload)
            event.requestor.send_event(protocol.event.SelectionNotify(
                time=event.time, requestor=event.requestor, selection=event.selection,
                target=event.target, property=prop))
            disp.flush()
        elif event.type != X.ClientMessage:
            continue
        elif event.client_type == atom("XdndStatus") and not dropped:
            if not event.data[1][1] & 1:
                return 1
            send("XdndDrop", 0, X.CurrentTime)
            dropped = True
        elif event.client_type == atom("XdndFinished"):
            return 0
    return 2


if __name__ == "__main__":
    status = drop(int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5:])
    with open(sys.argv[1] + ".part", "w") as f:  # whole or not at all: the caller polls
        f.write(str(status))
    os.replace(sys.argv[1] + ".part", sys.argv[1])
    sys.exit(status)
