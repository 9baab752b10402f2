#!/usr/bin/python3
"""Drops files on an X window the way a file manager does: through the XDND protocol.

    xdnd_drop.py WINDOW X Y FILE...

WINDOW is the X window id (decimal or 0x hex) that receives the drop, X and Y the point of the
drop in root-window coordinates, FILE... absolute Unix paths. The files are offered as
text/uri-list. Exits 0 once the target has asked for the data and said it has finished, 1 when
it refuses the drop, 2 on bad usage, 3 when the target does not answer in time.
"""
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, protocol

XDND_VERSION = 5
TIMEOUT_S = 10


def main():
    if len(sys.argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    target = int(sys.argv[1], 0)
    x, y = int(sys.argv[2]), int(sys.argv[3])
    uris = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in sys.argv[4:]).encode()

    d = display.Display()
    atom = lambda name: d.intern_atom(name)
    XdndAware, XdndSelection = atom("XdndAware"), atom("XdndSelection")
    XdndEnter, XdndPosition, XdndStatus = atom("XdndEnter"), atom("XdndPosition"), atom("XdndStatus")
    XdndDrop, XdndFinished, XdndLeave = atom("XdndDrop"), atom("XdndFinished"), atom("XdndLeave")
    XdndActionCopy, uri_list = atom("XdndActionCopy"), atom("text/uri-list")

    root = d.screen().root
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.change_property(XdndAware, Xatom.ATOM, 32, [XDND_VERSION])
    source.set_selection_owner(XdndSelection, X.CurrentTime)
    target_window = d.create_resource_object("window", target)

    def send(kind, data):
        event = protocol.event.ClientMessage(window=target_window, client_type=kind,
                                             data=(32, (data + [0] * 5)[:5]))
        target_window.send_event(event, event_mask=0)
        d.flush()

    served = []

    # The target asks for the data as soon as the drag enters (to see whether it takes files)
    # and again at the drop: every request is answered whatever else is awaited.
    def serve(event):
        requestor = event.requestor
        prop = event.property or event.target
        if event.target == uri_list:
            requestor.change_property(prop, uri_list, 8, uris)
            served.append(event.target)
        else:
            prop = X.NONE
        notify = protocol.event.SelectionNotify(time=event.time, requestor=requestor,
                                                selection=event.selection,
                                                target=event.target, property=prop)
        requestor.send_event(notify)
        d.flush()

    def wait_for(accept, deadline):
        while time.time() < deadline:
            while d.pending_events():
                event = d.next_event()
                if event.type == X.SelectionRequest:
                    serve(event)
                    continue
                result = accept(event)
                if result is not None:
                    return result
            time.sleep(0.01)
        return None

    deadline = time.time() + TIMEOUT_S
    send(XdndEnter, [source.id, XDND_VERSION << 24, uri_list, 0, 0])
    send(XdndPosition, [source.id, 0, (x << 16) | y, X.CurrentTime, XdndActionCopy])

    def status(event):
        if event.type == X.ClientMessage and event.client_type == XdndStatus:
            return bool(event.data[1][1] & 1)
        return None

    accepted = wait_for(status, deadline)
    if accepted is None:
        print("xdnd_drop: no XdndStatus from the target", file=sys.stderr)
        return 3
    if not accepted:
        send(XdndLeave, [source.id, 0, 0, 0, 0])
        print("xdnd_drop: the target refused the drop", file=sys.stderr)
        return 1

    send(XdndDrop, [source.id, 0, X.CurrentTime, 0, 0])

    def finished(event):
        if event.type == X.ClientMessage and event.client_type == XdndFinished:
            return True
        return None

    if not wait_for(finished, deadline):
        print("xdnd_drop: the target did not finish the drop", file=sys.stderr)
        return 3
    if uri_list not in served:
        print("xdnd_drop: the target never asked for the files", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
