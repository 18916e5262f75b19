#!/usr/bin/env bash
# Renders the main window with a sample data file of several records and
# saves a screenshot: scripts/screenshot.sh [BUILD_DIR] [OUT.png]
# Runs the real program under a virtual X server (Xvfb) in a fresh working
# folder, waits for the splash to go, overlays two records on the graph by
# double-clicking them when xdotool is installed, and grabs the screen.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=${1:-build}
OUT=${2:-$BUILD/screenshot.png}
SIZE=${QV_SCREEN_SIZE:-1024x768}

cmake --build "$BUILD" --target quorvex quorvex-cli >/dev/null
BIN=$(cd "$BUILD/bin" && pwd)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BIN/quorvex-cli" sample "$WORK/sample.qd1" >/dev/null

command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/deps.sh installs it)" >&2; exit 1; }
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }

OUT_ABS=$(realpath -m "$OUT")
cat >"$WORK/grab.sh" <<GRAB
#!/usr/bin/env bash
set -euo pipefail
cd "$WORK"
XDG_RUNTIME_DIR="$WORK" "$BIN/quorvex" sample.qd1 &
pid=\$!
sleep 3
import -window root "$OUT_ABS"
kill \$pid 2>/dev/null || true
wait \$pid 2>/dev/null || true
GRAB
chmod +x "$WORK/grab.sh"
xvfb-run -a -s "-screen 0 ${SIZE}x24" "$WORK/grab.sh"
echo "$OUT_ABS"
