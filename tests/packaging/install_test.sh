#!/usr/bin/env bash
# The installed tree: `cmake --install` into a scratch prefix that is then moved elsewhere (the
# program must find its importer relative to itself), its desktop entry and metainfo
# validated, then the installed program started offscreen on a database given as its
# argument (an operator plug-in confirms the loading dialog and reports what is shown), and
# the installed query console on the same file.
# usage: install_test.sh BUILD_DIR PLUGIN_DIR WORK_DIR
set -euo pipefail
build=$1 plugins=$2 work=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
unset FZ_IMPORTER
export XDG_CACHE_HOME=$work/cache QT_QPA_PLATFORM=offscreen

rm -rf "$work/prefix" "$work/moved" "$work/data" "$work/elsewhere" "$work/cache"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mv "$work/prefix" "$work/moved"
root=$work/moved

for f in bin/spravochnik bin/fzsql bin/fzgen libexec/spravochnik/fzimport; do
  [ -x "$root/$f" ] || fail "$f is not installed"
done
share=$root/share
desktop=$share/applications/ru.vedrogorsk.spravochnik.desktop
for f in "$desktop" "$share/metainfo/ru.vedrogorsk.spravochnik.metainfo.xml" \
         "$share/icons/hicolor/scalable/apps/spravochnik.svg" \
         "$share/man/man1/spravochnik.1.gz" "$share/man/man1/fzsql.1.gz" "$share/man/man1/fzgen.1.gz"; do
  [ -s "$f" ] || fail "${f#$root/} is not installed"
done
for s in 16 32 48 64 128 256; do
  png=$share/icons/hicolor/${s}x${s}/apps/spravochnik.png
  # width and height of the PNG's header chunk
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$size" = "${s}x${s}" ] || fail "icon ${s}x${s} is $size"
done
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/ru.vedrogorsk.spravochnik.metainfo.xml" \
  || fail "appstreamcli validate"
grep -qx 'MimeType=application/vnd.ms-access;' "$desktop" || fail "no Access MIME type"

# A database of another name than tabl1.mdb, in a folder with a space and Cyrillic.
data="$work/data/база данных"
mkdir -p "$data" "$work/elsewhere"
db="$data/справка 2007.mdb"
"$root/bin/fzgen" "$db" --rows 37 --seed 5
cp "$db" "$data/tabl1.mdb"

run() {
  QT_QPA_GENERIC_PLUGINS=fzdriver QT_PLUGIN_PATH=$plugins timeout 180 "$@" || fail "exit $? from $*"
}
expect() { # expect OUTPUT LINE
  grep -qxF -- "$2" <<<"$1" || { printf '%s\n' "$1" >&2; fail "missing \"$2\""; }
}
loaded="status: Количество данных в базе 37"

# The file, as the menu entry's Exec line passes it ("Open with").
cd "$work/elsewhere"
read -r -a exec_words <<<"$(sed -n 's/^Exec=//p' "$desktop")"
[ "${exec_words[*]}" = "spravochnik %f" ] || fail "Exec is ${exec_words[*]}"
out=$(PATH="$root/bin:$PATH" run "${exec_words[0]}" "$db")
expect "$out" "$loaded"
expect "$out" "cwd: $work/elsewhere"

# A folder holding tabl1.mdb, given relative to the current directory.
out=$(run "$root/bin/spravochnik" "../data/база данных")
expect "$out" "$loaded"

# No argument: tabl1.mdb in the current directory.
cd "$data"
out=$(run "$root/bin/spravochnik")
expect "$out" "$loaded"

# A path that names nothing: the loading dialog's usual message, and the program ends.
cd "$work/elsewhere"
out=$(run "$root/bin/spravochnik" "$data/нет такого.mdb")
grep -q '^message: .*Не удается найти файл' <<<"$out" || { echo "$out" >&2; fail "no failure message"; }
grep -q '^status:' <<<"$out" && fail "the main window opened without a database"

# The query console on the same file.
out=$("$root/bin/fzsql" "$db" "SELECT Count(*) FROM FZ_T1")
[ "$out" = $'1\n37' ] || fail "fzsql printed: $out"
echo "installed tree works"
