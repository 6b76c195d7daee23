#!/usr/bin/env bash
# Starts a virtual controller and Kalmo connected to it over a pseudo-terminal.
# Without a display Kalmo runs offscreen, saves a screenshot of the main window
# once the first reads are in, and exits; so it does with a display when
# KALMO_SCREENSHOT names the file.
set -euo pipefail
build=${1:-build}
shot=${2:-out/kalmo.png}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}

sim_out=$(mktemp)
"$build/sim/kalmo-sim" --serial --animate-inputs 1500 >"$sim_out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -f "$sim_out"' EXIT

port=""
for _ in $(seq 50); do
  port=$(head -n 1 "$sim_out")
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  echo "The virtual controller did not start." >&2
  exit 1
fi
echo "Virtual controller on $port"

# A non-blank command-line record makes Kalmo connect by itself after 500 ms.
record="演示€kalmo-sim|"
if [ -n "${KALMO_SCREENSHOT:-}" ]; then
  mkdir -p "$(dirname "$KALMO_SCREENSHOT")"
  "$build/src/kalmo" --port "$port" --quit-after 6 --screenshot "$KALMO_SCREENSHOT" "$record"
  echo "Screenshot of the main window saved to $KALMO_SCREENSHOT"
elif [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  mkdir -p "$(dirname "$shot")"
  QT_QPA_PLATFORM=offscreen "$build/src/kalmo" --port "$port" --quit-after 6 \
    --screenshot "$shot" "$record"
  echo "No display: screenshot of the main window saved to $shot"
else
  "$build/src/kalmo" --port "$port" "$record"
fi
