#!/usr/bin/env bash
# A merge of 200 rows on four threads, for `make check-tsan`: every row shares
# one photo and one middle picture, and every tenth names a damaged photo.
# Passes when merovik-render writes the 180 good rows, fails the damaged ones
# (exit 1) and ThreadSanitizer reports nothing (it exits with 66 then).
set -euo pipefail
render=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export QT_QPA_PLATFORM=offscreen
printf '[Name]\nText=Photo\n[Back]\nUseColor=0\nColor=clTeal\n' > "$dir/photo.lbl"
"$render" --size 6 "$dir/photo.lbl" "$dir/photo.jpg"
"$render" --size 6 "$dir/photo.lbl" "$dir/middle.png"
head -c "$(( $(stat -c %s "$dir/photo.jpg") / 2 ))" "$dir/photo.jpg" > "$dir/cut.jpg"
printf '[Name]\nText=Ontwerp\n[Back]\nUseColor=0\nFileName=photo.jpg\nUsePng=1\nPngFile=middle.png\n' > "$dir/design.lbl"
{
  echo 'Naam kaas;Achtergrond foto;Foto midden;Aantal'
  for row in $(seq 1 200); do
    if (( row % 10 == 0 )); then photo=cut.jpg; else photo=photo.jpg; fi
    echo "Kaas $row;$photo;middle.png;$(( row % 3 + 1 ))"
  done
} > "$dir/table.csv"
status=0
"$render" --size 6 --jobs 4 --merge "$dir/table.csv" --out-dir "$dir/out" "$dir/design.lbl" 2> "$dir/stderr" || status=$?
written=$(find "$dir/out" -name 'design-*.jpg' | wc -l)
if [[ $status -ne 1 || $written -ne 180 ]] || grep -q ThreadSanitizer "$dir/stderr"; then
  cat "$dir/stderr" >&2
  echo "tsan-merge: exit status $status, $written of 180 pictures written" >&2
  exit 1
fi
echo "tsan-merge: 200 rows on 4 threads, 180 written, 20 damaged rows failed, no ThreadSanitizer report"
