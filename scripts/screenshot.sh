#!/usr/bin/env bash
# Pictures of the program for a person to look at:
#   scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]
#   scripts/screenshot.sh --readme [BUILD_DIR]   remakes the README's pictures
#                                               in docs/ (small PNG files)
# 1. The real program under a virtual X server (Xvfb) with a sample data file
#    of several records, started in a fresh working folder: splash.png while
#    the splash is up, main.png once it has gone.
# 2. Off-screen grabs made by the widget tests (main window with two overlays
#    and a cursor, the registration, ID change and about dialogs, two menus;
#    a discharge run against the simulated analyzer with the run dialogs;
#    the panes alone with the input-cell editors open and the point-detail
#    dialog), when the test programs build.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = --readme ]; then
  # The main window after a whole run of the demo pack with two overlays, a
  # printed graph sheet, a pack's sheet printed by quorvex --print, and a
  # long run watched with the voltage scale fixed and the time axis fitted,
  # reduced to a small palette.
  BUILD=${2:-build}
  cmake --build "$BUILD" --target test_gui_app orvantis-sim quorvex-cli quorvex >/dev/null
  BIN=$(cd "$BUILD/bin" && pwd)
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  "$BIN/quorvex-cli" sample "$WORK/sample.qd1" >/dev/null
  QV_README_SHOTS="$WORK" QV_SCREENSHOT_FILE="$WORK/sample.qd1" QT_QPA_PLATFORM=offscreen \
    "$BIN/test_gui_app" --gtest_filter='ReadmeScreens.*:HeadlessPrintReadme.*' >/dev/null
  mkdir -p docs
  for f in main_window graph_sheet pack_sheet long_run; do
    convert "$WORK/$f.png" -strip -colors 48 "PNG8:docs/$f.png"
    echo "docs/$f.png"
  done
  exit 0
fi

BUILD=${1:-build}
OUT=$(realpath -m "${2:-$BUILD/screenshots}")
SIZE=${QV_SCREEN_SIZE:-1024x768}
mkdir -p "$OUT"

command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (scripts/deps.sh installs it)" >&2; exit 1; }
command -v import >/dev/null || { echo "ImageMagick's import is missing" >&2; exit 1; }

cmake --build "$BUILD" --target quorvex quorvex-cli >/dev/null
BIN=$(cd "$BUILD/bin" && pwd)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"$BIN/quorvex-cli" sample "$WORK/sample.qd1" >/dev/null

cat >"$WORK/grab.sh" <<GRAB
#!/usr/bin/env bash
set -euo pipefail
cd "$WORK"
XDG_RUNTIME_DIR="$WORK" "$BIN/quorvex" sample.qd1 &
pid=\$!
sleep 0.8
import -window root "$OUT/splash.png"
sleep 2.5
import -window root "$OUT/main.png"
kill \$pid 2>/dev/null || true
wait \$pid 2>/dev/null || true
GRAB
chmod +x "$WORK/grab.sh"
xvfb-run -a -s "-screen 0 ${SIZE}x24" "$WORK/grab.sh"
echo "$OUT/splash.png"
echo "$OUT/main.png"

if cmake --build "$BUILD" --target test_gui_app >/dev/null 2>&1; then
  QV_SCREENSHOT_DIR="$OUT" QV_SCREENSHOT_FILE="$WORK/sample.qd1" QT_QPA_PLATFORM=offscreen \
    "$BIN/test_gui_app" --gtest_filter='Screens.*' >/dev/null
  for f in main_overlays main_smallest register idchange about message save_chooser menu_edit menu_file \
    pack_match pack_match_main pack_match_parallel; do
    [ -f "$OUT/$f.png" ] && echo "$OUT/$f.png"
  done
  if cmake --build "$BUILD" --target orvantis-sim >/dev/null 2>&1; then
    QV_SCREENSHOT_DIR="$OUT" QT_QPA_PLATFORM=offscreen \
      "$BIN/test_gui_app" --gtest_filter='RunScreens.*' >/dev/null
    for f in run_confirm run_main run_ended run_start_options run_port_setting run_port_detect; do
      [ -f "$OUT/$f.png" ] && echo "$OUT/$f.png"
    done
  fi
else
  echo "test_gui_app does not build: no off-screen grabs" >&2
fi

if cmake --build "$BUILD" --target test_gui_views >/dev/null 2>&1; then
  QV_VIEWS_SHOTS="$OUT" QT_QPA_PLATFORM=offscreen \
    "$BIN/test_gui_views" --gtest_filter='ViewsScreenshot.*' >/dev/null
  for f in result_view result_edit_cells result_edit_current graph_view graph_export_white \
    data_view point_detail; do
    [ -f "$OUT/$f.png" ] && echo "$OUT/$f.png"
  done
fi
