#!/usr/bin/env bash
# Builds the .deb into a temporary folder and checks it as the package manager and a desktop
# see it: the files, the Depends line, the desktop entry and the AppStream metainfo.
# Usage: check_package.sh CPACK CPackConfig.cmake SOURCE_DIR
# Exits 77 (skipped) when every check that could run passed but a validator is not installed.
set -euo pipefail
cpack=$1 config=$2 source=$3
id=org.calvex.CalvexAdj

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

if ! "$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack -G DEB"
  exit 1
fi
shopt -s nullglob
debs=("$work"/out/calvexadj_*.deb)
if ((${#debs[@]} != 1)); then
  ls -l "$work/out"
  echo "FAIL: expected one calvexadj_*.deb"
  exit 1
fi
deb=${debs[0]}
echo "built $(basename "$deb")"
root=$work/root
dpkg -x "$deb" "$root"

# The files, all under /usr.
for f in usr/bin/calvexadj usr/bin/velkasim; do
  [[ -f $root/$f && -x $root/$f ]] || fail "$f missing or not executable"
done
desktop=usr/share/applications/$id.desktop
icon_dir=usr/share/icons/hicolor/scalable/apps
metainfo=usr/share/metainfo/$id.metainfo.xml
doc=usr/share/doc/calvexadj
for f in "$desktop" "$icon_dir/$id.svg" "$metainfo" "$doc/Const.ini" "$doc/velkasim.txt" \
  "$doc/copyright" "$doc/GUIDE.md" "$doc/images/connected.png"; do
  [[ -f $root/$f && -s $root/$f ]] || fail "$f missing or empty"
done
cmp -s "$source/Const.ini" "$root/$doc/Const.ini" || fail "$doc/Const.ini is not the sample"
grep -q -- '--link PATH' "$root/$doc/velkasim.txt" || fail "$doc/velkasim.txt is not velkasim's help"
# The licence: Debian's machine-readable copyright file and the metainfo agree.
head -n 1 "$root/$doc/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "$doc/copyright is not in the machine-readable format"
grep -q '^License: GPL-3.0-or-later$' "$root/$doc/copyright" || fail "$doc/copyright names no GPL-3.0-or-later"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$root/$metainfo" ||
  fail "the metainfo's project_license is not GPL-3.0-or-later"
outside=$(cd "$root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[[ -z $outside ]] || fail "files outside /usr: $outside"
[[ ! -e $root/usr/local ]] || fail "files under /usr/local"

# The control fields; Depends comes from the binaries, so it names the Qt 6 libraries.
control=$(dpkg -I "$deb")
field() { sed -n "s/^ $1: //p" <<<"$control"; }
[[ $(field Package) == calvexadj ]] || fail "Package: $(field Package)"
[[ $(field Section) == electronics ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) ]] || fail "no Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libstdc++6 libc6; do
  pattern=${lib//+/\\+}
  grep -Eq "(^|[,|] *)$pattern(t64)? *(\(|,|\||$)" <<<"$depends" || fail "Depends does not name $lib"
done

# The desktop entry starts an installed program and shows the installed icon; the metainfo
# launches that entry.
entry() { sed -n "s/^$1=//p" "$root/$desktop" | head -n 1; }
exec_line=$(entry Exec)
program=${exec_line%% *}
if [[ $program == /* ]]; then
  [[ -x $root$program ]] || fail "Exec=$exec_line: $program is not in the package"
else
  [[ -x $root/usr/bin/$program ]] || fail "Exec=$exec_line: usr/bin/$program is not in the package"
fi
[[ $(entry Icon) == "$id" ]] || fail "Icon=$(entry Icon), the icon installed is $id"
grep -q "<id>$id</id>" "$root/$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/$metainfo" ||
  fail "the metainfo does not launch $id.desktop"

missing=()
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/$desktop" || fail "desktop-file-validate $desktop"
else
  missing+=(desktop-file-validate)
fi
if command -v appstreamcli >/dev/null; then
  # The whole tree: the metainfo itself, and the desktop entry it launches found beside it.
  appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree: $metainfo"
else
  missing+=(appstreamcli)
fi

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
if ((${#missing[@]})); then
  echo "not installed, so not checked: ${missing[*]}"
  exit 77
fi
echo "package checks passed"
