#!/bin/sh
# Runs a test program on an X server of its own (Xvfb) with the openbox window manager.
# Exit code 77 (skipped) where either is not installed.
for tool in xvfb-run Xvfb openbox; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed: skipped"; exit 77; }
done
rm -f openbox-ready
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" sh -c '
  openbox --startup "touch openbox-ready" & wm=$!
  for i in $(seq 100); do [ -f openbox-ready ] && break; sleep 0.05; done; rm -f openbox-ready
  QT_QPA_PLATFORM=xcb "$0"; rc=$?
  kill $wm; exit $rc' "$1"
