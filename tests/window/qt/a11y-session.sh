#!/bin/sh
# Runs a program as if a screen reader were running: in the D-Bus session of
# its caller (dbus-run-session), the accessibility bus is started and told
# that a screen reader is on, so that Qt's AT-SPI bridge wakes up.
#
#   dbus-run-session -- a11y-session.sh PROGRAM [ARGUMENTS]
set -eu
/usr/libexec/at-spi-bus-launcher --launch-immediately &
launcher=$!
trap 'kill $launcher 2>/dev/null || true' EXIT
# Waits until the bus is there (at most ten seconds).
tries=0
until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then
        echo "a11y-session.sh: the accessibility bus did not start" >&2
        exit 1
    fi
    sleep 0.1
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:ScreenReaderEnabled \
    variant:boolean:true >/dev/null
"$@"
