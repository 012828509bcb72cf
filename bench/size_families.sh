#!/usr/bin/env bash
# How Quendar's cost grows with size against the peer's, on two of the speed pairs:
#   elast      plane strain, Quendar NGRID 67 / 150 / 225 against the peer's n = 75 / 167 / 250
#              (45K .. 500K unknowns);
#   cube       the extruded cube of cube_100k, Quendar NGRID 8 .. 36 against the peer's cube of
#              NGRID - 1 cells a side (4K .. 380K nodes).
# Each run is whole, as a user meets it; the best user+system CPU seconds of RUNS runs (default 1)
# and each program's error are printed with the ratio Quendar / peer. Two binaries joined by a
# colon (before:after) are timed side by side, the runs of the three programs taken in turn.
#   bash bench/size_families.sh build/quendar[:other/quendar] [elast|cube ...]
set -u
IFS=: read -r -a QS <<<"$1"; shift
for k in "${!QS[@]}"; do QS[$k]=$(readlink -f "${QS[$k]}"); done
here=$(cd "$(dirname "$0")" && pwd)
speed=$(readlink -f "$here/../../shared/speed")
[ -d "$speed" ] || speed=$(readlink -f "$here/../shared/speed")
fams=("$@"); [ ${#fams[@]} -gt 0 ] || fams=(elast cube)
command -v FreeFem++ >/dev/null || { echo "FreeFem++ is not installed"; exit 2; }
cpu() {  # cpu DIR TAG CMD...: one run's user+system seconds in DIR, kept as the best for TAG
  local d=$1 t=$2; shift 2
  ( cd "$d" && /usr/bin/time -o tm -f "%U %S" timeout 1800 "$@" >"out.$t" 2>&1 )
  read -r u s <"$d/tm"; c=$(python3 -c "print(round($u + $s, 2))")
  if [ ! -f "$d/best.$t" ] || python3 -c "import sys; sys.exit(0 if $c < $(cat "$d/best.$t") else 1)"; then
    echo "$c" >"$d/best.$t"
  fi
}
head=$(printf "%-6s %6s %6s" family NGRID n)
for k in "${!QS[@]}"; do head+=$(printf " | %8s %14s" "Q$k cpu" "Q$k error"); done
echo "$head | $(printf "%8s %14s" "FF cpu s" "FF error") | ratios"
row() {  # row FAMILY NGRID PEER_N
  local f=$1 g=$2 n=$3 w; w=$(mktemp -d)
  if [ "$f" = cube ]; then
    sed "s/NGRID = [0-9]*/NGRID = $g/" "$speed/cube_100k.pde" >"$w/p.pde"
    sed "s/int n = [0-9]*;/int n = $n;/" "$speed/cube_100k.edp" >"$w/p.edp"
    python3 "$speed/mkcube.py" "$n" "$w/c$n.mesh"
  else
    sed "s/NGRID = [0-9]*/NGRID = $g/" "$speed/elast.pde" >"$w/p.pde"
    sed "s/int n = [0-9]*;/int n = $n;/" "$speed/elast.edp" >"$w/p.edp"
  fi
  local line qe k fc fe ratios=""
  for i in $(seq 1 "${RUNS:-1}"); do
    for k in "${!QS[@]}"; do
      rm -f "$w"/result.txt*
      cpu "$w" "q$k" env -u DISPLAY "${QS[$k]}" -B -R -X p.pde
      grep -a 'l2err=' "$w"/result.txt* 2>/dev/null | tail -1 | sed 's/.*= *//' >"$w/err.q$k"
    done
    cpu "$w" ff FreeFem++ -nw -v 0 p.edp
  done
  fc=$(cat "$w/best.ff")
  fe=$(grep -a -oE 'l2err [-0-9.eE+]+' "$w/out.ff" | tail -1 | cut -d' ' -f2)
  line=$(printf "%-6s %6s %6s" "$f" "$g" "$n")
  for k in "${!QS[@]}"; do
    qe=$(cat "$w/err.q$k"); line+=$(printf " | %8s %14s" "$(cat "$w/best.q$k")" "${qe:-none}")
    ratios+=" $(python3 -c "print('%.2f' % ($(cat "$w/best.q$k") / max($fc, 0.01)))")"
  done
  echo "$line | $(printf "%8s %14s" "$fc" "${fe:-none}") |$ratios"
  rm -rf "$w"
}
for f in "${fams[@]}"; do
  case $f in
  elast) for p in "67 75" "150 167" "225 250"; do row elast $p; done ;;
  cube) for g in ${CUBE_NGRIDS:-8 15 23 29 36}; do row cube "$g" $((g - 1)); done ;;
  esac
done
