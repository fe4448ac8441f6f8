#!/usr/bin/env bash
# Fails when the build used a Debian package that tools/deps.sh does not install. A machine that
# already has such a package builds fine, so the gap shows only on a fresh one; reading what the
# configure step actually found closes it on every machine.
#
# Usage: tools/check-deps.sh [--deps SCRIPT] [CACHE]
#   CACHE   the build's CMakeCache.txt (default build/CMakeCache.txt)
#   SCRIPT  prints the listed packages, one a line, when given --list (default tools/deps.sh)
#
# Looked at: every <Name>_DIR path entry whose folder holds <Name>Config.cmake or
# <name>-config.cmake, every library pkg-config found (pkgcfg_lib_*), and the .pc file of every
# pkg-config module. The owner of each file (not of its folder, which several packages share) must
# be listed; a file no package owns fails too, since nothing may be installed any other way.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
deps="$here/deps.sh"
if [ "${1:-}" = --deps ]; then
  deps="$2"
  shift 2
fi
cache="${1:-$here/../build/CMakeCache.txt}"
if [ ! -r "$cache" ]; then
  echo "check-deps: cannot read the CMake cache '$cache'" >&2
  exit 2
fi

declare -A listed=()
while read -r p; do
  [ -n "$p" ] && listed["$p"]=1
done < <("$deps" --list)
if [ ${#listed[@]} -eq 0 ]; then
  echo "check-deps: '$deps --list' printed no packages" >&2
  exit 2
fi

# The files the configure step used, one a line.
used_files() {
  local name value lower
  while IFS= read -r line; do
    case "$line" in
      *_DIR:PATH=*)
        name="${line%%_DIR:PATH=*}"
        value="${line#*_DIR:PATH=}"
        lower="$(printf '%s' "$name" | tr '[:upper:]' '[:lower:]')"
        if [ -f "$value/${name}Config.cmake" ]; then
          echo "$value/${name}Config.cmake"
        elif [ -f "$value/${lower}-config.cmake" ]; then
          echo "$value/${lower}-config.cmake"
        fi
        ;;
      pkgcfg_lib_*:FILEPATH=*)
        value="${line#*:FILEPATH=}"
        [ -f "$value" ] && echo "$value"
        ;;
      *_MODULE_NAME:INTERNAL=?*)
        value="${line#*_MODULE_NAME:INTERNAL=}"
        pkg-config --path "$value" 2>/dev/null || true
        ;;
    esac
  done <"$cache"
}

# Owners of every file in one dpkg call (one call per file costs seconds): "file<TAB>owner" lines.
# A path dpkg does not know is looked up again with its symbolic links resolved.
owner_lines() {
  local file real
  { dpkg -S "$@" 2>/dev/null || true; } | grep -v '^diversion by' |
    sed -n 's/^\(.*\): \(\/.*\)$/\2\t\1/p' | while IFS=$'\t' read -r file owners; do
      tr ',' '\n' <<<"$owners" | sed 's/^ *//; s/:.*$//' | sed "s|^|$file\t|"
    done
}

mapfile -t files < <(used_files | sort -u)
declare -A owners=()
while IFS=$'\t' read -r file owner; do
  owners["$file"]+="$owner "
done < <(owner_lines "${files[@]}")
for file in "${files[@]}"; do
  [ -n "${owners[$file]:-}" ] && continue
  real="$(readlink -f "$file")"
  [ "$real" = "$file" ] && continue
  while IFS=$'\t' read -r _ owner; do
    owners["$file"]+="$owner "
  done < <(owner_lines "$real")
done

declare -A missing=()
problems=0
for file in "${files[@]}"; do
  read -r -a mine <<<"${owners[$file]:-}"
  if [ ${#mine[@]} -eq 0 ]; then
    echo "check-deps: $file is not installed by any Debian package" >&2
    problems=$((problems + 1))
    continue
  fi
  found=""
  for o in "${mine[@]}"; do
    [ -n "${listed[$o]:-}" ] && found=1
  done
  [ -n "$found" ] && continue
  for o in "${mine[@]}"; do
    [ -n "${missing[$o]:-}" ] || echo "check-deps: $o (owns $file) is not listed in tools/deps.sh" >&2
    missing["$o"]=1
  done
  problems=$((problems + 1))
done

if [ "$problems" -gt 0 ]; then
  [ ${#missing[@]} -gt 0 ] && echo "check-deps: add to tools/deps.sh: $(printf '%s\n' "${!missing[@]}" | sort | tr '\n' ' ')" >&2
  exit 1
fi
echo "check-deps: the ${#files[@]} package files the build used all come from listed packages"
