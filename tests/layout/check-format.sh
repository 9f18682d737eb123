#!/usr/bin/env bash
# The C++ sources keep the house layout (.clang-format at the top), so that
# a change shows what it does and not how an editor wrapped it. Lists each
# file that clang-format would change; fix them with
#   clang-format -i FILE...
#
#   check-format.sh SOURCE_DIR
set -euo pipefail
root=${1:?usage: check-format.sh SOURCE_DIR}
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/install-deps.sh test)"; exit 77; }
cd "$root"
mapfile -t files < <(find src tests fuzz bench \( -name '*.cpp' -o -name '*.h' \) -print | sort)
status=0
for f in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$f" 2>/dev/null; then
    echo "not in the house layout: $f"
    status=1
  fi
done
exit $status
