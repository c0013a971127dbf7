#!/bin/sh
# Fails when a tracked C++ source differs from .clang-format. Hand-aligned
# tables are fenced with "// clang-format off" and "// clang-format on".
set -e
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null 2>&1; then
    echo "clang-format is missing: run 'make deps' (or apt-get install clang-format)" >&2
    exit 1
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
