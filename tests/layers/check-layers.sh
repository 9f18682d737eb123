#!/usr/bin/env bash
# Every folder of src/ includes only itself and the layers below it, so that
# every arrow between the rooms points down: reception never reaches into
# sending, and the core never into the windows. The build's link lines keep
# the same order; this catches an include that the linker would forgive
# (a header used for its declarations only).
#
#   check-layers.sh SRC_DIR
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR}

# Each layer, a colon, and the layers below it that it may include.
declare -A below
for rule in "text:" "base: text" "store: text base" "net: text base store" "oauth: text base store net" \
            "history: text base store" "send: text base store net history" \
            "receive: text base store net history" "reserve: text base store net history send" \
            "program: text base store net oauth history send receive reserve" \
            "ui: text base store net oauth history send receive reserve program" "app: program ui"; do
  below[${rule%%:*}]=${rule#*:}
done

failed=0
for layer in "${!below[@]}"; do
  allowed=" $layer ${below[$layer]} "
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    target=${hit##*#include \"}
    target=${target%%/*}
    if [[ "$allowed" != *" $target "* ]]; then
      echo "$hit: $layer may not include $target"
      failed=1
    fi
  done < <(grep -rn '#include "[a-z]*/' "$src/$layer" || true)
done
for folder in "$src"/*/; do
  name=$(basename "$folder")
  [ -n "${below[$name]+x}" ] || { echo "src/$name is no known layer"; failed=1; }
done
exit $failed
