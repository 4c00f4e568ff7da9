#!/usr/bin/env bash
# Each folder includes only the folders below it: the imaging layer nothing of
# ours, the records and packs the imaging layer, and so on up to the programs.
# A wrong-way include fails here before it can become a link-order accident.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [imaging]="imaging"
  [format]="format texture imaging"
  [texture]="format texture imaging"
  [container]="container format texture imaging"
  [toolkit]="toolkit format"
  [cli]="cli container format texture imaging"
  [editor]="editor toolkit resources container format texture imaging"
)

status=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file line text; do
    used=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$text")
    if [[ " ${allowed[$folder]} " != *" $used "* ]]; then
      echo "$file:$line: $folder/ may not include $used/ (${text})"
      status=1
    fi
  done < <(git grep -n -E '^#include "[a-z]+/' -- "$folder/*.cpp" "$folder/*.h" || true)
done
exit $status
