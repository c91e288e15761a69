#!/usr/bin/env bash
# Makes the pictures of the program that the README, the manual and the
# AppStream metainfo show: the program and its emulator under Xvfb with a
# window manager (openbox), a short session driven by xdotool (a "Get Date",
# an upload, a find with Ctrl+F), and each window written as a PNG into
# docs/screenshots/. Run it again after a change of the windows; it needs a
# build (it makes one, as ./run.sh does) and the Debian packages below, which
# it installs when they are missing. Not part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(xvfb openbox xdotool imagemagick)
missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_=""
    if [ "$(id -u)" -ne 0 ]; then sudo_="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo_ apt-get update -qq
    $sudo_ apt-get install -y -qq "${missing[@]}" >/dev/null
fi
tools/setup.sh krt418 krt418-sim >/dev/null

out=docs/screenshots
mkdir -p "$out"
run=$(mktemp -d)
pids=()
finish() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$run"
}
trap finish EXIT

# Waits until the command succeeds, for at most 10 s.
wait_for() {
    for _ in $(seq 100); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    echo "screenshots.sh: gave up waiting for: $*" >&2
    return 1
}

# A display of its own: Xvfb picks a free number and writes it on fd 3.
Xvfb -displayfd 3 -screen 0 1280x960x24 -nolisten tcp 3>"$run/display" 2>"$run/xvfb.log" &
pids+=($!)
wait_for test -s "$run/display"
export DISPLAY=":$(head -1 "$run/display")"
openbox --sm-disable >"$run/openbox.log" 2>&1 &
pids+=($!)
wait_for xdotool search --class openbox

# A fresh home: no saved port choice, folder or journal of the operator's.
export HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config" XDG_DATA_HOME="$run/home/.local/share"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
export QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 LANG=C.UTF-8

# The emulator's memory holds 20 times; nothing random runs on its inputs.
build/krt418-sim --times 20 >"$run/sim.out" 2>"$run/sim.log" &
pids+=($!)
wait_for grep -q . "$run/sim.out"
KRT418_COM1="$(head -1 "$run/sim.out")" build/krt418 >"$run/krt418.log" 2>&1 &
pids+=($!)

window() { xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
# A window whole, with the frame openbox gives it.
shoot() {
    xdotool windowactivate --sync "$1"
    sleep 0.5
    import -window "$1" -frame -strip -define png:exclude-chunks=date,time "$out/$2.png"
    echo "screenshots.sh: $out/$2.png"
}
key() {
    xdotool key --clearmodifiers --delay 80 "$@"
    sleep 0.3
}

main=$(window "KRT 418")
xdotool windowmove --sync "$main" 40 40
shoot "$main" main-window

# "Configure ..." has the focus in the main window.
xdotool windowactivate --sync "$main"
key space
data=$(window "Read Data")
xdotool windowmove --sync "$data" 40 40
xdotool windowactivate --sync "$data"
sleep 1
xdotool windowsize --sync "$data" 1000 720
sleep 0.5

# The session. Once the window is active "Get Date", first in the tab order,
# has the focus; each answer gives it to the data field, from which "Upload
# times" is twelve Tabs on (Auto Scroll, Times, Bytes, Save, Close, then the
# buttons in rows).
# The emulator's log tells whether each command reached it.
key space
wait_for grep -q "ACK  date" "$run/sim.log"
key Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
wait_for grep -q "ACK  upload" "$run/sim.log"
wait_for grep -q " -> 00020 " "$run/sim.log"
sleep 1.5
shoot "$data" data-window

key ctrl+f
xdotool type --delay 60 "I14"
sleep 0.8
shoot "$data" find

# The times of the lines, then the bytes of the line in the field's place.
key Escape
key alt+t
sleep 0.5
shoot "$data" times
key alt+b
sleep 0.5
shoot "$data" bytes

grep -c "^[0-9:.]* <- " "$run/sim.log" | grep -qx 2 || {
    echo "screenshots.sh: the emulator saw other commands than a Get Date and an upload:" >&2
    cat "$run/sim.log" >&2
    exit 1
}
