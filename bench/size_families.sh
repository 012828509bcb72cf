#!/usr/bin/env bash
# How Quendar's cost grows with size against the peer's, on two of the speed pairs:
#   elast      plane strain, Quendar NGRID 67 / 150 / 225 against the peer's n = 75 / 167 / 250
#              (45K .. 500K unknowns);
#   cube       the extruded cube of cube_100k, Quendar NGRID 8 .. 36 against the peer's cube of
#              NGRID - 1 cells a side (4K .. 380K nodes).
# Each run is whole, as a user meets it; the best user+system CPU seconds of RUNS runs (default 1)
# and each program's error are printed with the ratio Quendar / peer.
#   bash bench/size_families.sh build/quendar [elast|cube ...]
set -u
Q=$(readlink -f "$1"); shift
here=$(cd "$(dirname "$0")" && pwd)
speed=$(readlink -f "$here/../../shared/speed")
[ -d "$speed" ] || speed=$(readlink -f "$here/../shared/speed")
fams=("$@"); [ ${#fams[@]} -gt 0 ] || fams=(elast cube)
command -v FreeFem++ >/dev/null || { echo "FreeFem++ is not installed"; exit 2; }
cpu() {  # cpu DIR CMD...: best user+system seconds of RUNS runs in DIR
  local d=$1; shift; local b=""
  for i in $(seq 1 "${RUNS:-1}"); do
    ( cd "$d" && /usr/bin/time -o tm -f "%U %S" timeout 1800 "$@" >out 2>&1 )
    read -r u s <"$d/tm"; c=$(python3 -c "print(round($u + $s, 2))")
    if [ -z "$b" ] || python3 -c "import sys; sys.exit(0 if $c < $b else 1)"; then b=$c; fi
  done
  echo "$b"
}
printf "%-6s %6s %6s | %8s %14s | %8s %14s | %6s\n" family NGRID n "Q cpu s" "Q error" "FF cpu s" "FF error" ratio
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
  local qc qe fc fe
  qc=$(cpu "$w" env -u DISPLAY "$Q" -B -R -X p.pde)
  qe=$(grep -a 'l2err=' "$w"/result.txt* 2>/dev/null | tail -1 | sed 's/.*= *//')
  fc=$(cpu "$w" FreeFem++ -nw -v 0 p.edp)
  fe=$(grep -a -oE 'l2err [-0-9.eE+]+' "$w/out" | tail -1 | cut -d' ' -f2)
  printf "%-6s %6s %6s | %8s %14s | %8s %14s | %6s\n" "$f" "$g" "$n" "$qc" "${qe:-none}" "$fc" "${fe:-none}" \
    "$(python3 -c "print('%.2f' % ($qc / max($fc, 0.01)))")"
  rm -rf "$w"
}
for f in "${fams[@]}"; do
  case $f in
  elast) for p in "67 75" "150 167" "225 250"; do row elast $p; done ;;
  cube) for g in ${CUBE_NGRIDS:-8 15 23 29 36}; do row cube "$g" $((g - 1)); done ;;
  esac
done
