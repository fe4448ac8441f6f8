#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds: exactly the programs,
# manual pages, desktop entry (valid to desktop-file-validate), icon, README, copyright and changelog; a Depends
# line that names the package of every library the
# programs are linked against, as dpkg-shlibdeps gives it; and the dialout advice.
# Usage: check_package.sh BUILD_DIR PROGRAM...
source "$(dirname "$0")/package_setup.sh"
programs=("$@")
echo "built $(basename "$deb")"

# Files, directories left out, against the exact list.
expected=()
for p in "${programs[@]}"; do expected+=("./usr/bin/$p" "./usr/share/man/man1/$p.1.gz"); done
expected+=(./usr/share/applications/velmar.desktop
           ./usr/share/icons/hicolor/scalable/apps/velmar.svg
           ./usr/share/doc/velmar/README.md
           ./usr/share/doc/velmar/copyright
           ./usr/share/doc/velmar/changelog.gz)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
  diff <(echo "$wanted") <(echo "$actual") >&2 || true
  fail "file list differs (< expected, > in the package)"
fi

# The desktop entry as the package installs it, checked by the desktop's own validator; the
# copyright in Debian's machine-readable form.
dpkg-deb -x "$deb" "$work/root"
if ! desktop-file-validate "$work/root/usr/share/applications/velmar.desktop" >"$work/desktop.log" 2>&1; then
  cat "$work/desktop.log" >&2
  fail "desktop-file-validate rejects velmar.desktop"
fi
copyright="$work/root/usr/share/doc/velmar/copyright"
head -n1 "$copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file does not name its format"
grep -q '^Files: \*$' "$copyright" && grep -q '^License: ' "$copyright" ||
  fail "the copyright file has no Files: * paragraph with a License"
gzip -t "$work/root/usr/share/doc/velmar/changelog.gz" || fail "changelog.gz is no gzip file"

# The package that owns a library file; merged /usr means it may be known by either path.
owner_of() {
  local path=$1 candidate
  for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
    # awk reads to the end: a reader that stops early would kill the writer with SIGPIPE, which
    # pipefail turns into a failure that depends on timing.
    dpkg -S "$candidate" 2>/dev/null | awk -F: 'NR == 1 {print $1}' | grep . && return 0
  done
  return 1
}

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[ -n "$depends" ] || fail "no Depends line"
depends_names=$(sed 's/, /\n/g' <<<"$depends" | awk '{print $1}')
for p in "${programs[@]}"; do
  for soname in $(objdump -p "$build/bin/$p" | awk '$1 == "NEEDED" {print $2}'); do
    path=$(ldconfig -p | awk -v so="$soname" '$1 == so && !found {print $NF; found = 1}')
    [ -n "$path" ] || fail "$p needs $soname, which ldconfig does not know"
    package=$(owner_of "$path") || fail "no package owns $path ($soname of $p)"
    grep -Fxq "$package" <<<"$depends_names" ||
      fail "Depends lacks $package, which provides $soname to $p"
  done
done
# dpkg-shlibdeps, unlike a hand-written list, gives the versions the symbols need.
grep -Eq "(^|, )libc6 \\(>= [0-9.]+\\)" <<<"$depends" || fail "libc6 carries no version"
if grep -Eq -- '-dev( |,|$)' <<<"$depends"; then fail "Depends names a development package"; fi

# Read whole before grep: grep -q leaves at the first match, and dpkg-deb, which writes the field
# in several pieces, would then die of SIGPIPE, which pipefail turns into a failure.
description=$(dpkg-deb -f "$deb" Description)
grep -q dialout <<<"$description" || fail "the description does not mention dialout"
echo "package contents and dependencies as expected"
