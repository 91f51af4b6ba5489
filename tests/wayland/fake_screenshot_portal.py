#!/usr/bin/python3
"""A stand-in for the desktop's Screenshot portal on the session bus, for the portal client's test.

    fake_screenshot_portal.py ANSWER_FILE

Owns org.freedesktop.portal.Desktop and answers each Screenshot call as the first line of ANSWER_FILE
says at that moment: "CODE URI" (the request's handle at once, then its Response signal with that
code and, when given, the uri), or "error" (the call fails with AccessDenied, "denied by the test").
Each call appends "interactive=0" or "=1" (the option it was given) to ANSWER_FILE.asked.

The GlobalShortcuts portal is there only after the test offers it (Offer(true) of test.FakePortal on
the desktop object; Offer(false) takes it away). Its CreateSession always gives a session; its
BindShortcuts answers as the first line of ANSWER_FILE says ("CODE", or "error"). They append
"create", "bind SESSION ID TRIGGER DESCRIPTION" and, at the session's Close, "close SESSION" to
ANSWER_FILE.asked. test.FakePortal's Activate(id) emits Activated of that id for the last bound
session, and answers once the signal is on its way.

The ScreenCast portal (version 4) is always there. CreateSession gives a session; SelectSources appends
"select types=T multiple=M persist=P token=TOKEN" and always succeeds; Start answers as the first line
of ANSWER_FILE says ("CODE NODE": the stream of that PipeWire node, with the restore token "token-N",
N counting the starts), and appends "start SESSION"; OpenPipeWireRemote gives a new connection to the
PipeWire daemon of XDG_RUNTIME_DIR.
"""

import os
import socket

import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.freedesktop.portal.Screenshot">
    <method name="Screenshot">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
  </interface>
</node>
"""

SHORTCUTS = """
<node>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="a(sa{sv})" name="shortcuts" direction="in"/>
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.portal.Session">
    <method name="Close"/>
  </interface>
  <interface name="test.FakePortal">
    <method name="Offer"><arg type="b" name="on" direction="in"/></method>
    <method name="Activate"><arg type="s" name="id" direction="in"/></method>
  </interface>
</node>
"""

SCREENCAST = """
<node>
  <interface name="org.freedesktop.portal.ScreenCast">
    <method name="CreateSession">
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <method name="SelectSources">
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
    <method name="OpenPipeWireRemote">
      <arg type="o" name="session_handle" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="h" name="fd" direction="out"/>
    </method>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""


def main(answer_file):
    loop = GLib.MainLoop()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def note(line):
        with open(answer_file + ".asked", "a", encoding="utf-8") as asked:
            asked.write(line + "\n")

    def answer():
        with open(answer_file, encoding="utf-8") as f:
            return f.readline().strip()

    def request(connection, sender, options, invocation, code, results):
        """Answers the call with its request's handle, then sends the request's Response."""
        token = options.get("handle_token", "t")
        handle = f"/org/freedesktop/portal/desktop/request/{sender[1:].replace('.', '_')}/{token}"
        invocation.return_value(GLib.Variant("(o)", (handle,)))

        def respond():
            connection.emit_signal(sender, handle, "org.freedesktop.portal.Request", "Response",
                                   GLib.Variant("(ua{sv})", (int(code), results)))
            return False

        GLib.idle_add(respond)

    def on_call(connection, sender, path, interface, method, parameters, invocation):
        _, options = parameters.unpack()
        note(f"interactive={int(bool(options.get('interactive', False)))}")
        if answer() == "error":
            invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "denied by the test")
            return
        code, _, uri = answer().partition(" ")
        request(connection, sender, options, invocation, code, {"uri": GLib.Variant("s", uri)} if uri else {})

    shortcuts = Gio.DBusNodeInfo.new_for_xml(SHORTCUTS)
    offered = {}  # the registration of the GlobalShortcuts interface while it is offered
    sessions = {}  # path: its registration
    last_bound = []  # (sender, session) of the last bound session

    def on_session(connection, sender, path, interface, method, parameters, invocation):
        note(f"close {path}")
        connection.unregister_object(sessions.pop(path))
        invocation.return_value(None)

    def create_session(connection, sender, options, invocation, handle_type):
        """Registers a session object and answers with its path (as a string or an object path)."""
        session = (f"/org/freedesktop/portal/desktop/session/{sender[1:].replace('.', '_')}/"
                   f"{options.get('session_handle_token', 's')}")
        sessions[session] = connection.register_object(session, shortcuts.interfaces[1], on_session)
        request(connection, sender, options, invocation, 0, {"session_handle": GLib.Variant(handle_type, session)})

    def on_shortcuts(connection, sender, path, interface, method, parameters, invocation):
        if method == "CreateSession":
            (options,) = parameters.unpack()
            note("create")
            create_session(connection, sender, options, invocation, "s")
            return
        session, bound, _, options = parameters.unpack()
        for shortcut_id, properties in bound:
            note(f"bind {session} {shortcut_id} {properties.get('preferred_trigger')} "
                 f"{properties.get('description')}")
        if answer() == "error":
            invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "denied by the test")
            return
        last_bound[:] = [(sender, session)]
        results = {"shortcuts": GLib.Variant("a(sa{sv})", [(i, {}) for i, _ in bound])}
        request(connection, sender, options, invocation, answer(), results)

    starts = [0]

    def on_screencast(connection, sender, path, interface, method, parameters, invocation):
        if method == "CreateSession":
            (options,) = parameters.unpack()
            create_session(connection, sender, options, invocation, "o")
        elif method == "SelectSources":
            _, options = parameters.unpack()
            note(f"select types={options.get('types')} multiple={int(options.get('multiple', 0))} "
                 f"persist={options.get('persist_mode', 0)} token={options.get('restore_token', '')}")
            request(connection, sender, options, invocation, 0, {})
        elif method == "Start":
            session, _, options = parameters.unpack()
            note(f"start {session}")
            code, _, node = answer().partition(" ")
            starts[0] += 1
            results = {"restore_token": GLib.Variant("s", f"token-{starts[0]}")}
            if node:
                results["streams"] = GLib.Variant("a(ua{sv})", [(int(node), {"source_type": GLib.Variant("u", 1)})])
            request(connection, sender, options, invocation, code, results)
        else:
            remote = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            remote.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "pipewire-0"))
            invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)),
                                                      Gio.UnixFDList.new_from_array([remote.detach()]))

    def on_control(connection, sender, path, interface, method, parameters, invocation):
        (argument,) = parameters.unpack()
        if method == "Offer" and argument and not offered:
            offered["id"] = connection.register_object(path, shortcuts.interfaces[0], on_shortcuts,
                                                       lambda *_: GLib.Variant("u", 1), None)
        elif method == "Offer" and not argument and offered:
            connection.unregister_object(offered.pop("id"))
        elif method == "Activate" and last_bound:
            receiver, session = last_bound[0]
            connection.emit_signal(receiver, path, "org.freedesktop.portal.GlobalShortcuts", "Activated",
                                   GLib.Variant("(osta{sv})", (session, argument, 0, {})))
        invocation.return_value(None)

    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    bus.register_object("/org/freedesktop/portal/desktop", node.interfaces[0], on_call, None, None)
    bus.register_object("/org/freedesktop/portal/desktop", shortcuts.interfaces[2], on_control, None, None)
    bus.register_object("/org/freedesktop/portal/desktop", Gio.DBusNodeInfo.new_for_xml(SCREENCAST).interfaces[0],
                        on_screencast, lambda *_: GLib.Variant("u", 4), None)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
