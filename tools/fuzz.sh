#!/bin/sh
# Builds build-fuzz/ (clang, libFuzzer, ASan and UBSan) and runs the fuzz targets.
#   tools/fuzz.sh --build               only builds
#   tools/fuzz.sh --smoke               every target 20 s on its seeds, two at a time; 1 on a finding
#   tools/fuzz.sh --campaign N          N executions per target: executions per second, features and
#                                       findings per target; 1 on a finding
#   tools/fuzz.sh --speed N             the same on the small seeds alone (4 KiB or less, inputs
#                                       up to 4 KiB): the speed of small inputs
#   tools/fuzz.sh TARGET [ARGS...]      one target on its corpus until stopped (ARGS go to libFuzzer)
# FUZZ_TARGETS="png jm" narrows --smoke and --campaign; FUZZ_JOBS sets the runs at a time (2).
# Findings go to build-fuzz/findings/TARGET/, the growing corpus to build-fuzz/corpus/TARGET/.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
out=build-fuzz

tools/setup-debian.sh clang libclang-rt-14-dev

build() {
    mkdir -p "$out"
    CC=clang CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_FUZZ=ON \
        -DZR_TESTS=OFF >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
    cmake --build "$out" --target fuzz_all -j "${FUZZ_BUILD_JOBS:-$(nproc)}"
}

all_targets="config options saf gzip scanf png pnm texture font jm shape series lighting statues billboards flaggers cameras tileinfo
texturelist heightfield tilemap demo_names timing_gates lines engine_sound script_source demo
net_datagrams"

# Longest input per target: a few hundred KiB for pictures, models and archives.
max_len() {
    case "$1" in
        options|demo_names) echo 4096 ;;
        net_datagrams) echo 65536 ;;
        scanf|lighting|shape|texturelist|config|flaggers|cameras|timing_gates) echo 16384 ;;
        statues|billboards) echo 65536 ;;
        series|tileinfo|font|lines|demo) echo 65536 ;;
        heightfield|tilemap) echo 1048576 ;;
        *) echo 262144 ;;
    esac
}

# Every folder of seeds and saved cases of a target that exists.
seed_dirs() {
    for d in "$root/fuzz/seeds/$1" "$root/$out/fuzz/seeds/$1" "$root"/tests/*/data/fuzz/"$1"; do
        [ -d "$d" ] && printf '%s ' "$d"
    done
    return 0
}

# run TARGET LOG ARGS...: one libFuzzer run with the limits every run has. With small set, on a
# fresh corpus of the seeds of 4 KiB or less, inputs up to 4 KiB.
run() {
    target=$1 log=$2
    shift 2
    mkdir -p "$out/corpus/$target" "$out/findings/$target"
    length=$(max_len "$target")
    dirs="$out/corpus/$target $(seed_dirs "$target")"
    if [ -n "${small:-}" ]; then
        length=4096
        dirs="$out/small/$target"
        rm -rf "$dirs"
        mkdir -p "$dirs"
        # shellcheck disable=SC2046
        find $(seed_dirs "$target") -type f -size -4097c -exec cp {} "$dirs/" \;
    fi
    # A target's dictionary, and its own time-out where its limits are tighter.
    extra=""
    [ -f "$root/fuzz/dicts/$target.dict" ] && extra="-dict=$root/fuzz/dicts/$target.dict"
    timeout=10
    [ "$target" = script_source ] && timeout=2
    # shellcheck disable=SC2086
    "$out/fuzz/fuzz_$target" -max_len="$length" -rss_limit_mb=2048 -timeout=$timeout \
        -malloc_limit_mb=256 -print_final_stats=1 -artifact_prefix="$out/findings/$target/" \
        $extra "$@" $dirs >"$log" 2>&1
}

# The table of a batch of finished runs.
report() {
    printf '%-12s %10s %9s %9s %s\n' target execs exec/s features findings
    failed=0
    for target in $1; do
        log="$out/logs/$target.log"
        execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
        features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
        findings=$(find "$out/findings/$target" -type f | wc -l)
        status=$(cat "$out/logs/$target.status" 2>/dev/null || echo "?")
        [ "$status" = 0 ] && [ "$findings" = 0 ] || failed=1
        printf '%-12s %10s %9s %9s %s\n' "$target" "${execs:-?}" "${speed:-?}" "${features:-?}" \
            "$findings$( [ "$status" = 0 ] || echo " (exit $status, see $log)")"
    done
    return $failed
}

# batch TARGETS ARGS...: the runs, FUZZ_JOBS at a time, then the table.
batch() {
    targets=$1
    shift
    mkdir -p "$out/logs"
    jobs=${FUZZ_JOBS:-2}
    running=0
    for target in $targets; do
        rm -rf "$out/findings/$target" "$out/logs/$target.status"
        (
            set +e
            run "$target" "$out/logs/$target.log" "$@"
            echo $? >"$out/logs/$target.status"
        ) &
        running=$((running + 1))
        if [ "$running" -ge "$jobs" ]; then
            wait
            running=0
        fi
    done
    wait
    report "$targets"
}

case "${1:-}" in
    --build)
        build ;;
    --smoke)
        build
        batch "${FUZZ_TARGETS:-$all_targets}" -max_total_time=20 ;;
    --campaign|--speed)
        [ $# -ge 2 ] || { echo "usage: tools/fuzz.sh $1 N" >&2; exit 2; }
        [ "$1" = --speed ] && small=1
        build
        batch "${FUZZ_TARGETS:-$all_targets}" -runs="$2" ;;
    ""|-*)
        sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'
        exit 2 ;;
    *)
        target=$1
        shift
        build
        mkdir -p "$out/logs"
        run "$target" /dev/stderr "$@" ;;
esac
