#!/bin/sh
# Starts the window on the bundled demo site (nothing configured: the tool starts
# the demo site itself on 127.0.0.1).
set -e
cd "$(dirname "$0")/.."
# "设置魔兽" opens in the demo game folder (a Game.dll and a War3.exe stand-in)
# unless another folder is named.
if [ -z "${QUILLMARK_GAME_DIALOG_DIR:-}" ] && [ -d build/demo-game ]; then
    export QUILLMARK_GAME_DIALOG_DIR="$PWD/build/demo-game"
fi
# The web engine refuses to run as root inside its sandbox.
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting the window on a virtual X server (xvfb-run)." >&2
    exec xvfb-run -a ./build/quillmark "$@"
fi
exec ./build/quillmark "$@"
