#!/usr/bin/env bash
# The Debian package: built with CPack, its control fields, dependencies and file list, the
# files it installs validated, and lintian without errors.
# usage: package_test.sh BUILD_DIR WORK_DIR
set -euo pipefail
build=$1 work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work/pkg" "$work/unpacked"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log" >&2; fail "cpack"; }
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, got ${debs[*]}"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = spravochnik ] || fail "Package: $(field Package)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Section)" ] && [ -n "$(field Description)" ] \
  || fail "Maintainer, Section or Description missing"
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libsqlite3-0 libmdb3 qt6-qpa-plugins; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "Depends lacks $lib: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/spravochnik ./usr/bin/fzsql ./usr/bin/fzgen ./usr/libexec/spravochnik/fzimport \
         ./usr/share/applications/ru.vedrogorsk.spravochnik.desktop \
         ./usr/share/metainfo/ru.vedrogorsk.spravochnik.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/spravochnik.svg \
         ./usr/share/icons/hicolor/16x16/apps/spravochnik.png \
         ./usr/share/icons/hicolor/256x256/apps/spravochnik.png \
         ./usr/share/man/man1/spravochnik.1.gz ./usr/share/man/man1/fzsql.1.gz \
         ./usr/share/man/man1/fzgen.1.gz ./usr/share/doc/spravochnik/copyright \
         ./usr/share/doc/spravochnik/changelog.gz; do
  grep -qxF "$f" <<<"$files" || fail "$f is not in the package"
done
outside=$(grep -v '^\./usr/' <<<"$files" | grep -vx '\./' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

dpkg-deb -x "$deb" "$work/unpacked"
desktop-file-validate "$work/unpacked/usr/share/applications/ru.vedrogorsk.spravochnik.desktop" \
  || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/unpacked/usr/share/metainfo/ru.vedrogorsk.spravochnik.metainfo.xml" \
  || fail "appstreamcli validate"

lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 \
  || { cat "$work/lintian.txt" >&2; fail "lintian reports errors"; }
cat "$work/lintian.txt"
echo "lintian: $(grep -c '^E:' "$work/lintian.txt") errors, $(grep -c '^W:' "$work/lintian.txt") warnings"
echo "package $(basename "$deb") checked"
