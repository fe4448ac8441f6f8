#!/usr/bin/env bash
# Checks that HACKING.md's library table says what the build says: one row per folder of src/,
# its library named velmar_<folder>, and its "May use" column the same set as that library's
# target_link_libraries (PUBLIC and PRIVATE alike; a helper library of the same folder counts as
# the folder itself). Prints each difference; fails when there is one.
# Usage: tools/check-libraries.sh [checkout]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

# What a CMake name is called in the table.
word() {
  case "$1" in
    Qt6::Core) echo QtCore ;;
    Qt6::Widgets) echo "Qt Widgets" ;;
    Qt6::Charts) echo "Qt Charts" ;;
    Qt6::PrintSupport) echo "Qt PrintSupport" ;;
    PkgConfig::PXLIB) echo pxlib ;;
    PkgConfig::MOSQUITTO) echo libmosquitto ;;
    PkgConfig::LIBSSL) echo libssl ;;
    velmar_*) echo "${1#velmar_}" ;;
    *) echo "$1" ;;
  esac
}

# The uses of every library a folder's CMakeLists.txt links, one a line, sorted.
uses_of() {
  local folder="$1" text lib
  # One line per target_link_libraries(...) call, its arguments after the target's name.
  text=$(sed 's/#.*//' "$root/src/$folder/CMakeLists.txt" | tr '\n' ' ' |
    grep -o 'target_link_libraries([^)]*)' || true)
  declare -A own=()
  while read -r lib; do own[$lib]=1; done < <(grep -o 'add_library( *[A-Za-z_0-9]*' \
    "$root/src/$folder/CMakeLists.txt" | sed 's/add_library( *//')
  while read -r call; do
    [ -n "$call" ] || continue
    # Word splitting wanted: the call's arguments, one each.
    # shellcheck disable=SC2046
    set -- $(echo "$call" | sed 's/target_link_libraries(//; s/)//')
    [ -n "${own[$1]:-}" ] || continue
    shift
    for lib in "$@"; do
      case "$lib" in PUBLIC | PRIVATE | INTERFACE) continue ;; esac
      [ -n "${own[$lib]:-}" ] && continue
      word "$lib"
    done
  done <<< "$text" | sort -u
}

# The table's rows: folder, library, uses (comma-separated), one a line as folder|library|uses.
rows=$(grep -E '^\| `[a-z]+/` \|' "$root/HACKING.md" |
  awk -F'|' '{ gsub(/[ `\/]/, "", $2); gsub(/[ `]/, "", $3); print $2 "|" $3 "|" $5 }')

status=0
folders=$(cd "$root/src" && for d in */; do [ -f "$d/CMakeLists.txt" ] && echo "${d%/}"; done)
for folder in $folders; do
  row=$(grep "^$folder|" <<< "$rows" || true)
  if [ -z "$row" ]; then
    echo "HACKING.md: no row for src/$folder/"
    status=1
    continue
  fi
  IFS='|' read -r _ library said <<< "$row"
  if [ "$library" != "velmar_$folder" ]; then
    echo "HACKING.md: src/$folder/ is library velmar_$folder, the table says $library"
    status=1
  fi
  said=$(echo "$said" | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$' |
    grep -v '^the C++ library only$' | sort -u || true)
  built=$(uses_of "$folder")
  if [ "$said" != "$built" ]; then
    echo "HACKING.md: src/$folder/ may use \"$(paste -sd, <<< "$said")\" by the table, but links:"
    echo "$built" | sed 's/^/    /'
    status=1
  fi
done
for folder in $(cut -d'|' -f1 <<< "$rows"); do
  if ! grep -qx "$folder" <<< "$folders"; then
    echo "HACKING.md: a row for $folder/, which src/ does not have"
    status=1
  fi
done
exit $status
