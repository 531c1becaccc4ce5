#!/usr/bin/env bash
# CI for hardening: the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, every input in fuzz/regressions through the fuzz
# target, and a short run of both fuzz targets: fuzz_script from the seed
# corpus, fuzz_programs (generated programs) from nothing. Installs nothing:
# needs cmake, g++, GoogleTest, python3, clang++ and clang's runtime
# (libclang-rt-14-dev).
#
# usage: fuzz/ci.sh [sanitize] [regressions] [smoke]   (no argument: all three)
# FUZZ_SMOKE_SECONDS sets the length of the smoke stage (90 by default), of
# which fuzz_script gets five ninths and fuzz_programs four;
# VORLA_BUILD_ROOT the folder that holds build-asan and build-fuzz (the repo).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builds=${VORLA_BUILD_ROOT:-$root}
asan=$builds/build-asan
fuzz=$builds/build-fuzz
artifacts=$fuzz/artifacts
stages=${*:-sanitize regressions smoke}

fuzz_target() {
  cmake -S "$root" -B "$fuzz" -DCMAKE_CXX_COMPILER=clang++ -DVORLA_SANITIZE=ON -DVORLA_FUZZ=ON >/dev/null
  cmake --build "$fuzz" -j2 --target fuzz_script fuzz_programs
}

for stage in $stages; do
  case $stage in
    sanitize)
      cmake -S "$root" -B "$asan" -DVORLA_SANITIZE=ON >/dev/null
      cmake --build "$asan" -j2
      ctest --test-dir "$asan" --output-on-failure -j2
      ;;
    regressions)
      fuzz_target
      mapfile -t inputs < <(find "$root/fuzz/regressions" -type f ! -name README.md | sort)
      if [ ${#inputs[@]} -gt 0 ]; then
        "$fuzz/fuzz/fuzz_script" -timeout=5 -rss_limit_mb=2048 "${inputs[@]}"
      fi
      ;;
    smoke)
      fuzz_target
      corpus=$(mktemp -d)
      trap 'rm -rf "$corpus"' EXIT
      mkdir -p "$corpus/new" "$corpus/programs" "$artifacts"
      python3 "$root/fuzz/make_corpus.py" "$root" "$corpus/seeds"
      seconds=${FUZZ_SMOKE_SECONDS:-90}
      if ! "$fuzz/fuzz/fuzz_script" -max_total_time=$((seconds * 5 / 9)) -max_len=4200 -timeout=5 \
          -rss_limit_mb=2048 -dict="$root/fuzz/vorla.dict" -artifact_prefix="$artifacts/" \
          -print_final_stats=1 "$corpus/new" "$corpus/seeds"; then
        echo "fuzz smoke found a fault; the input is in $artifacts (keep it in fuzz/regressions)" >&2
        exit 1
      fi
      # Its inputs are the generator's choices; -len_control=0 lets them be
      # long (rich programs) from the start.
      if ! "$fuzz/fuzz/fuzz_programs" -max_total_time=$((seconds * 4 / 9)) -max_len=1024 -len_control=0 \
          -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus/programs"; then
        echo "fuzz_programs found a fault; $fuzz/fuzz/print_program --input ARTIFACT prints the script" >&2
        echo "(keep that in fuzz/regressions once it passes)" >&2
        exit 1
      fi
      ;;
    *)
      echo "usage: fuzz/ci.sh [sanitize] [regressions] [smoke]" >&2
      exit 2
      ;;
  esac
done
