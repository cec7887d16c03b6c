#!/usr/bin/env bash
# Installs what is missing, then builds and tests in stages and stops at the first
# failure: every test with warnings as errors (dev), every test again under
# AddressSanitizer + UndefinedBehaviorSanitizer (asan), and the tests that run
# threads under ThreadSanitizer (tsan), then short libFuzzer sessions over every
# parser and file reader (fuzz). After the dev stage the Debian package is built
# and checked (lintian, the survey's units), and, as root where no netroscope
# package is installed, installed and purged (scripts/package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh

stage() {
  local started=$SECONDS
  echo "== $1"
  cmake --preset "$1"
  cmake --build --preset "$1"
  ctest --preset "$1"
  echo "== $1 passed in $((SECONDS - started)) s"
}

stage dev
echo "== package"
started=$SECONDS
scripts/package.sh --install-check
echo "== package passed in $((SECONDS - started)) s"
stage asan
stage tsan
stage fuzz
