#!/usr/bin/env bash
# Starts Kalmo. Without a display it runs offscreen, saves a screenshot of the
# main window and exits.
set -euo pipefail
build=${1:-build}
shot=${2:-out/kalmo.png}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  mkdir -p "$(dirname "$shot")"
  QT_QPA_PLATFORM=offscreen "$build/src/kalmo" --screenshot "$shot" --quit-after 2
  echo "No display: screenshot of the main window saved to $shot"
else
  exec "$build/src/kalmo"
fi
