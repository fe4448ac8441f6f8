#!/usr/bin/env bash
# Builds the Debian package from a build tree and runs lintian on it: no error or warning may be
# reported, nor a program left without hardening. Other information tags are printed for the record.
# Usage: check_lintian.sh BUILD_DIR
source "$(dirname "$0")/package_setup.sh"

# lintian's exit code follows its own fail-on setting; the tags it prints are what counts here.
lintian --no-cfg --display-level '>=pedantic' --fail-on none "$deb" \
  >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log" >&2; fail "lintian did not run"; }
cat "$work/lintian.log"
if grep -qE '^[EW]: ' "$work/lintian.log"; then
  fail "lintian reports $(grep -c '^E: ' "$work/lintian.log") errors and $(grep -c '^W: ' "$work/lintian.log") warnings"
fi
# Programs that read a serial line and other users' files keep their hardening.
if grep -qE 'hardening-no-' "$work/lintian.log"; then
  fail "lintian finds programs without hardening: $(grep -E 'hardening-no-' "$work/lintian.log" | tr '\n' ' ')"
fi
echo "lintian: no errors, no warnings, hardened"
