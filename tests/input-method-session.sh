#!/usr/bin/env bash
# Runs a command in a session with a real Japanese input method: an X server of its own (Xvfb),
# a private D-Bus session bus, and fcitx5 with mozc (keyboard first, mozc second, so opening the
# input method switches to mozc). The command gets DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# QT_IM_MODULE=fcitx, QT_QPA_PLATFORM=xcb and RID_INPUT_METHOD_SESSION (the session's folder).
#
# mozc_server will not run as root, and fcitx5 starts it as its own user: run as root, the bus,
# fcitx5 and mozc run as the unprivileged user rid-ime (scripts/setup-deps.sh creates it). The bus admits
# root as well, so the command itself runs as the caller and reads the build where it lies.
#
# Usage: tests/input-method-session.sh COMMAND [ARG...]
# Exits with the command's status, or 2 when the session did not start (the message names what).
set -euo pipefail

readonly user=rid-ime
# Safety nets against a hang, never measurements: a machine busy with twice as many processes
# as cores, under the sanitizers, stays far within them (as kWaitSeconds in tests/TestSupport.h).
readonly wait_seconds=300     # for each program of the session to start
readonly command_seconds=900  # for the command (a test that waits several times): a hung one
                              # still lets the session end

say() { echo "input-method-session: $*" >&2; }
fail() {
  say "$*"
  exit 2
}
[ $# -gt 0 ] || fail "usage: $0 COMMAND [ARG...]"

# --- what the session needs, by the package that brings it
need() {
  command -v "$1" >/dev/null 2>&1 || fail "$1 is missing: install the package $2 (scripts/setup-deps.sh)"
}
need Xvfb xvfb
need dbus-daemon dbus-daemon
need dbus-send dbus-bin
need fcitx5 fcitx5
need setpriv util-linux
need setsid util-linux
need pgrep procps
[ -x /usr/lib/mozc/mozc_server ] ||
  fail "/usr/lib/mozc/mozc_server is missing: install the package fcitx5-mozc (scripts/setup-deps.sh)"
compgen -G "/usr/lib/*/qt6/plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so" \
  >/dev/null || fail "Qt 6's fcitx5 module is missing: install the package fcitx5-frontend-qt6"

# The session's programs keep none of the caller's other descriptors (a test runner's log or
# pipes), which one that outlived the session would hold open.
for fd in /proc/$$/fd/*; do
  fd=${fd##*/}
  if [ "$fd" -gt 2 ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
done

# --- the session's folder and the user the input method runs as
session=$(mktemp -d /tmp/rid-ime.XXXXXX)
chmod 755 "$session"
# Each program is started with setsid, in a process group of its own, which what it starts stays
# in: fcitx5 starts mozc_server and leaves it to init. Without job control a background program
# leads no group, so setsid makes it the leader of a new one without a fork: $! is the group's id.
pids=()
# Whether a process of the group $1 still runs (one ended and not yet reaped does not).
group_runs() {
  local p
  for p in $(pgrep -g "$1"); do
    ps -o stat= -p "$p" 2>/dev/null | grep -qv '^Z' && return 0
  done
  return 1
}
cleanup() {
  local i pid
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM -- "-${pids[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  # What they started ends in its own time (mozc_server takes seconds), and is then forced.
  for pid in "${pids[@]}"; do
    for ((i = 0; i < wait_seconds * 10; i++)); do
      group_runs "$pid" || break
      sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  rm -rf "$session" || true
}
trap cleanup EXIT

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  id -u "$user" >/dev/null 2>&1 ||
    fail "the user $user is missing: scripts/setup-deps.sh creates it (useradd)"
  as_user=(setpriv "--reuid=$user" "--regid=$user" --init-groups)
fi
home="$session/home"
mkdir -p "$home/.config/fcitx5"
cat >"$home/.config/fcitx5/profile" <<'EOF'
[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
EOF
[ ${#as_user[@]} -eq 0 ] || chown -R "$user:" "$home"

# Says that $1 did not start, with the end of its log $2, and stops.
did_not_start() { fail "$1 did not start; its log ends:"$'\n'"$(tail -n 5 "$2")"; }

# Waits until the file $1 has a line, while the last process started lives; else names $2.
wait_for_line() {
  local i
  for ((i = 0; i < wait_seconds * 10; i++)); do
    [ -s "$1" ] && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  did_not_start "$2" "$3"
}

# --- the X server
setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$session/display" \
  >"$session/xvfb.log" 2>&1 &
pids+=($!)
wait_for_line "$session/display" "the X server (Xvfb)" "$session/xvfb.log"
display=":$(head -n 1 "$session/display")"

# --- the session bus: the input method's user, and root when the command is root's
cat >"$session/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$home/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="root"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
setsid "${as_user[@]}" dbus-daemon --nofork --nopidfile --config-file="$session/bus.conf" \
  --print-address=3 3>"$session/bus-address" >"$session/bus.log" 2>&1 &
pids+=($!)
wait_for_line "$session/bus-address" "the D-Bus session bus (dbus-daemon)" "$session/bus.log"
bus=$(head -n 1 "$session/bus-address")

# --- fcitx5 with the addons the session uses; it answers on the bus once they are loaded
setsid "${as_user[@]}" env -i HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
  XDG_CACHE_HOME="$home/.cache" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" \
  DBUS_SESSION_BUS_ADDRESS="$bus" \
  fcitx5 --disable=all --enable=dbus,dbusfrontend,xcb,keyboard,mozc >"$session/fcitx5.log" 2>&1 &
pids+=($!)
controller() {
  dbus-send --bus="$bus" --print-reply --reply-timeout=2000 --dest=org.fcitx.Fcitx5 /controller \
    "org.fcitx.Fcitx.Controller1.$1" "${@:2}"
}
for ((i = 0; ; i++)); do
  groups=$(controller InputMethodGroupInfo string:Default 2>/dev/null) && break
  kill -0 "${pids[-1]}" 2>/dev/null && [ $i -lt $((wait_seconds * 10)) ] ||
    did_not_start fcitx5 "$session/fcitx5.log"
  sleep 0.1
done
grep -q '"mozc"' <<<"$groups" ||
  fail "fcitx5 started without mozc in its input methods:"$'\n'"$(tail -n 5 "$session/fcitx5.log")"

# --- the command, in the session
status=0
timeout --kill-after=5 "$command_seconds" env DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="$bus" \
  QT_IM_MODULE=fcitx QT_QPA_PLATFORM=xcb RID_INPUT_METHOD_SESSION="$session" "$@" || status=$?
if [ $status -ne 0 ]; then
  [ $status -ne 124 ] || say "the command did not end within $command_seconds s"
  say "the command failed ($status); fcitx5 said:"
  tail -n 20 "$session/fcitx5.log" >&2
fi
exit $status
