#!/usr/bin/env bash
# Runs one replay script and compares its JSON lines and every PNG it writes with the
# checked-in expectations; an image the script names but that is not written fails too. With UPDATE_EXPECTED=1 it records them instead.
#   run_scenario.sh REPLAY SCRIPT EXPECTED_DIR
set -euo pipefail
replay=$(realpath "$1")
script=$(realpath "$2")
expected=$(realpath "$3")
name=$(basename "$script" .txt)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$replay" "$script" >"$name.jsonl"

if [[ "${UPDATE_EXPECTED:-}" == 1 ]]; then
  cp "$name.jsonl" "$expected/"
  cp ./*.png "$expected/" 2>/dev/null || true
  echo "recorded $name"
  exit 0
fi

status=0
diff -u "$expected/$name.jsonl" "$name.jsonl" >&2 || status=1
# Every image the script asks for must have been written, and every image written must be
# expected.
mapfile -t wanted < <(sed -nE 's/^[[:space:]]*png[[:space:]]+([^[:space:]]+).*/\1/p' "$script" | sort -u)
for png in "${wanted[@]}"; do
  [[ -e "$png" ]] || { echo "$png was not written" >&2; status=1; }
done
for png in *.png; do
  [[ -e "$png" ]] || continue
  if [[ ! -e "$expected/$png" ]]; then
    echo "no expected image $png" >&2
    status=1
    continue
  fi
  # Pixel comparison: the count of differing pixels must be 0.
  differing=$(compare -metric AE "$expected/$png" "$png" null: 2>&1 || true)
  if [[ "$differing" != 0 ]]; then
    echo "$png: $differing pixels differ from the expected image" >&2
    status=1
  fi
done
exit $status
