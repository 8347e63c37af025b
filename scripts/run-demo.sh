#!/usr/bin/env bash
# Installs what is needed, builds everything, writes the demo database (50,000 persons)
# and starts the program in the demo folder, where it finds tabl1.mdb.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/deps.sh"
"$here/scripts/build.sh" build
mkdir -p "$here/demo"
if [ ! -f "$here/demo/tabl1.mdb" ]; then
  "$here/build/bin/fzgen" "$here/demo/tabl1.mdb" --rows 50000 --seed 2007
fi
cd "$here/demo"
exec "$here/build/bin/spravochnik" "$@"
