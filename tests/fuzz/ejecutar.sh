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
# The prepared forms' target reads the analysis target's inputs, and starts from its corpus.
for objetivo in lexer analisis formula; do
  semillas="tests/fuzz/corpus/$objetivo"
  [ "$objetivo" = formula ] && semillas=tests/fuzz/corpus/analisis
  nuevo="$trabajo/corpus-$objetivo"
  mkdir -p "$nuevo"
  echo "fuzz_$objetivo: $segundos s"
  if ! build/fuzz/tests/fuzz/fuzz_$objetivo -max_total_time="$segundos" -print_final_stats=1 \
      -artifact_prefix="$trabajo/" "$nuevo" "$semillas" >"$trabajo/$objetivo.log" 2>&1; then
    tail -n 40 "$trabajo/$objetivo.log"
    for entrada in "$trabajo"/crash-* "$trabajo"/leak-* "$trabajo"/timeout-* "$trabajo"/oom-*; do
      [ -e "$entrada" ] && { echo "reproducing input: $entrada"; od -c "$entrada" | head -n 20; }
    done
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)|cov:' "$trabajo/$objetivo.log" | tail -n 4
done
