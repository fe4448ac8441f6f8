#!/usr/bin/env bash
# Builds the Debian package from a build tree and runs lintian on it: no error may be reported.
# Warnings and lower are printed for the record but do not fail the check.
# Usage: check_lintian.sh BUILD_DIR
set -euo pipefail
build=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack could not build the package"
fi
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"

# lintian's exit code follows its own fail-on setting; the tags it prints are what counts here.
lintian --no-cfg --display-level '>=pedantic' --fail-on none "${debs[0]}" \
  >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian did not run"; }
cat "$work/lintian.log"
if grep -q '^E: ' "$work/lintian.log"; then
  fail "lintian reports errors: $(grep -c '^E: ' "$work/lintian.log")"
fi
echo "lintian: no errors, $(grep -c '^W: ' "$work/lintian.log" || true) warnings"
