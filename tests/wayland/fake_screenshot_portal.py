#!/usr/bin/python3
"""A stand-in for the desktop's Screenshot portal on the session bus, for the portal client's test.

    fake_screenshot_portal.py ANSWER_FILE

Owns org.freedesktop.portal.Desktop and answers each Screenshot call as the first line of ANSWER_FILE
says at that moment: "CODE URI" (the request's handle at once, then its Response signal with that
code and, when given, the uri), or "error" (the call fails with AccessDenied, "denied by the test").
Each call appends "interactive=0" or "=1" (the option it was given) to ANSWER_FILE.asked.
"""

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


def main(answer_file):
    loop = GLib.MainLoop()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def on_call(connection, sender, path, interface, method, parameters, invocation):
        _, options = parameters.unpack()
        with open(answer_file + ".asked", "a", encoding="utf-8") as asked:
            asked.write(f"interactive={int(bool(options.get('interactive', False)))}\n")
        with open(answer_file, encoding="utf-8") as f:
            answer = f.readline().strip()
        if answer == "error":
            invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "denied by the test")
            return
        code, _, uri = answer.partition(" ")
        token = options.get("handle_token", "t")
        handle = f"/org/freedesktop/portal/desktop/request/{sender[1:].replace('.', '_')}/{token}"
        invocation.return_value(GLib.Variant("(o)", (handle,)))
        results = {"uri": GLib.Variant("s", uri)} if uri else {}

        def respond():
            connection.emit_signal(sender, handle, "org.freedesktop.portal.Request", "Response",
                                   GLib.Variant("(ua{sv})", (int(code), results)))
            return False

        GLib.idle_add(respond)

    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    bus.register_object("/org/freedesktop/portal/desktop", node.interfaces[0], on_call, None, None)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
