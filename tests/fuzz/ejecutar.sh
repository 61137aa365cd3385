#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz") and runs each for a bounded time on top of the
# seed corpus kept in tests/fuzz/corpus. New inputs go to a scratch folder, never into the
# repository. A finding stops with a non-zero status, the report and the reproducing input.
#   tests/fuzz/ejecutar.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/../.."

segundos=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

trabajo=build/fuzz/hallazgos
mkdir -p "$trabajo"

# One target for its time on top of its seeds; its output goes to $trabajo/TARGET.log. The
# prepared forms' target reads the analysis target's inputs, and starts from its corpus.
fuzz() {
  local objetivo=$1
  local semillas="tests/fuzz/corpus/$objetivo"
  [ "$objetivo" = formula ] && semillas=tests/fuzz/corpus/analisis
  local nuevo="$trabajo/corpus-$objetivo"
  mkdir -p "$nuevo"
  build/fuzz/tests/fuzz/fuzz_$objetivo -max_total_time="$segundos" -print_final_stats=1 \
    -artifact_prefix="$trabajo/" "$nuevo" "$semillas" >"$trabajo/$objetivo.log" 2>&1
}

# Each target runs on one core, so as many run at once as the machine has cores: every one
# still has a whole core for its whole time, and the others' cores do not sit idle.
nucleos=$(nproc)
objetivos=(lexer analisis formula)
for ((primero = 0; primero < ${#objetivos[@]}; primero += nucleos)); do
  tanda=("${objetivos[@]:primero:nucleos}")
  procesos=()
  for objetivo in "${tanda[@]}"; do
    echo "fuzz_$objetivo: $segundos s"
    fuzz "$objetivo" &
    procesos+=($!)
  done
  fallidos=()
  for i in "${!tanda[@]}"; do
    objetivo=${tanda[$i]}
    if wait "${procesos[$i]}"; then
      echo "== fuzz_$objetivo"
      grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)|cov:' "$trabajo/$objetivo.log" | tail -n 4
    else
      fallidos+=("$objetivo")
    fi
  done
  if [ ${#fallidos[@]} -gt 0 ]; then
    for objetivo in "${fallidos[@]}"; do
      echo "== fuzz_$objetivo failed:"
      tail -n 40 "$trabajo/$objetivo.log"
    done
    for entrada in "$trabajo"/crash-* "$trabajo"/leak-* "$trabajo"/timeout-* "$trabajo"/oom-*; do
      [ -e "$entrada" ] && { echo "reproducing input: $entrada"; od -c "$entrada" | head -n 20; }
    done
    exit 1
  fi
done
