#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a program's windows from the accessibility bus (AT-SPI), as a screen reader sees them.

Run with DBUS_SESSION_BUS_ADDRESS of the session bus the program was started on. Every command
prints nodes one a line, tab-separated:

    depth  role  name  states  x,y,w,h  description  key-binding  text

depth counts from 0 at the node the command starts from; states are comma-separated AT-SPI state
names ("showing,checked"); x,y,w,h are screen coordinates; text is the Text interface's contents
(set for edit fields). Tabs, CR and LF inside the fields are written as \\t, \\r and \\n.

Commands:
    dump --pid PID                    every window of the application
    wait --pid PID --role ROLE [--name TEXT] [--state STATE] [--timeout S]
                                      polls until a node with that role (and name, and state) is
                                      under the application; prints its subtree; exit 1 on timeout
    popup [--timeout S]               prints "ready", then waits until a pop-up menu is shown (pop-up
                                      menus are not children of their application) and prints its
                                      subtree; exit 1 on timeout
"""

import argparse
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def field(value):
    return (value or "").replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r").replace("\n", "\\n")


def describe(node, depth):
    try:
        states = [Atspi.StateType(s).value_nick for s in node.get_state_set().get_states()]
    except GLib.Error:
        states = []
    try:
        r = node.get_extents(Atspi.CoordType.SCREEN)
        extents = "%d,%d,%d,%d" % (r.x, r.y, r.width, r.height)
    except (GLib.Error, AttributeError):
        extents = ""
    keys = ""
    try:
        if "Action" in node.get_interfaces() and Atspi.Action.get_n_actions(node) > 0:
            keys = Atspi.Action.get_key_binding(node, 0)
    except GLib.Error:
        pass
    text = ""
    try:
        if "Text" in node.get_interfaces():
            text = Atspi.Text.get_text(node, 0, -1)
    except GLib.Error:
        pass
    return "\t".join([str(depth), node.get_role_name() or "", field(node.get_name()), ",".join(states), extents,
                      field(node.get_description()), field(keys), field(text)])


def walk(node, depth=0, out=None):
    out = [] if out is None else out
    if node is None:
        return out
    try:
        out.append(describe(node, depth))
        for i in range(node.get_child_count()):
            walk(node.get_child_at_index(i), depth + 1, out)
    except GLib.Error:
        pass  # a window that went away while we read it
    return out


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except GLib.Error:
            pass
    return None


def find(node, role, name, state):
    if node is None:
        return None
    try:
        if node.get_role_name() == role and (name is None or node.get_name() == name) and (
                state is None or node.get_state_set().contains(getattr(Atspi.StateType, state.upper().replace("-", "_")))):
            return node
        for i in range(node.get_child_count()):
            found = find(node.get_child_at_index(i), role, name, state)
            if found is not None:
                return found
    except GLib.Error:
        pass
    return None


def dump(args):
    app = application(args.pid)
    if app is None:
        print("no application with pid %d on the bus" % args.pid, file=sys.stderr)
        return 1
    print("\n".join(walk(app)))
    return 0


def wait(args):
    deadline = time.monotonic() + args.timeout
    while True:
        found = find(application(args.pid), args.role, args.name, args.state)
        if found is not None:
            print("\n".join(walk(found)))
            return 0
        if time.monotonic() > deadline:
            print("no %s %r on the bus after %g s" % (args.role, args.name or "", args.timeout), file=sys.stderr)
            return 1
        time.sleep(0.05)


def popup(args):
    result = []

    def shown(event):
        source = event.source
        if event.detail1 != 1 or source is None or result:
            return
        try:
            if source.get_role() not in (Atspi.Role.POPUP_MENU, Atspi.Role.MENU):
                return
        except GLib.Error:
            return
        result.extend(walk(source))
        Atspi.event_quit()

    def timeout():
        Atspi.event_quit()
        return False

    listener = Atspi.EventListener.new(shown)
    listener.register("object:state-changed:showing")
    GLib.timeout_add(int(args.timeout * 1000), timeout)
    print("ready", flush=True)
    Atspi.event_main()
    listener.deregister("object:state-changed:showing")
    if not result:
        print("no pop-up menu was shown within %g s" % args.timeout, file=sys.stderr)
        return 1
    print("\n".join(result))
    return 0


def main():
    parser = argparse.ArgumentParser(description="Reads windows from the accessibility bus.")
    commands = parser.add_subparsers(dest="command", required=True)
    p = commands.add_parser("dump")
    p.add_argument("--pid", type=int, required=True)
    p.set_defaults(run=dump)
    p = commands.add_parser("wait")
    p.add_argument("--pid", type=int, required=True)
    p.add_argument("--role", required=True)
    p.add_argument("--name")
    p.add_argument("--state")
    p.add_argument("--timeout", type=float, default=10)
    p.set_defaults(run=wait)
    p = commands.add_parser("popup")
    p.add_argument("--timeout", type=float, default=10)
    p.set_defaults(run=popup)
    args = parser.parse_args()
    return args.run(args)


if __name__ == "__main__":
    sys.exit(main())
