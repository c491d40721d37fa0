#!/usr/bin/env bash
# Verification throughput beside cksum on the same files in the same run:
# generates a 1 GiB installation of 200 files under /tmp, reads it once so both
# tools start from the page cache, then times five alternating rounds of
#   crc_bench's BM_VerifyInstallationFiles (MappedFile windows + CRC-32) and
#   cksum over the same files,
# and prints the median ratio (cksum time / our time; above 1 means faster).
# Each round takes the median of five passes of each tool.
#   bench/verify_vs_cksum.sh BUILD-DIR
set -eu
build=${1:?usage: verify_vs_cksum.sh BUILD-DIR (configured with -DCORVANE_BENCH=ON)}
bench=$build/bench/crc_bench
[ -x "$bench" ] || { echo "no $bench; build the crc_bench target" >&2; exit 1; }
tree=$(mktemp -d /tmp/corvane-verify-bench.XXXXXX)
trap 'rm -rf "$tree"' EXIT

# 200 files, sizes 0.5 to 10 MiB, 1 GiB in all (the last file takes the rest).
python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
weights = [0.1 + random.randrange(1000) / 500.0 for _ in range(200)]
total, left = sum(weights), 1 << 30
chunk = os.urandom(1 << 20)
for i, w in enumerate(weights):
    size = left if i == 199 else int((1 << 30) * w / total)
    left -= size
    d = os.path.join(root, "dir%d" % (i % 8))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%d.pbo" % i), "wb") as f:
        while size > 0:
            piece = min(size, len(chunk))
            f.write(chunk[:piece]); size -= piece
            chunk = chunk[1:] + chunk[:1]
PY
find "$tree" -type f -print0 | sort -z > "$tree.list"
xargs -0 cat < "$tree.list" > /dev/null   # into the page cache

ours=(); theirs=()
for round in 1 2 3 4 5; do
  ms=$(CORVANE_BENCH_TREE=$tree "$bench" --benchmark_filter=BM_VerifyInstallationFiles \
         --benchmark_format=json 2>/dev/null |
       python3 -c 'import json,sys
b = json.load(sys.stdin)["benchmarks"]
print([x for x in b if x.get("aggregate_name") == "median"][0]["real_time"])')
  times=()
  for pass in 1 2 3 4 5; do
    start=$(date +%s.%N)
    xargs -0 cksum < "$tree.list" > /dev/null
    end=$(date +%s.%N)
    times+=("$(python3 -c "print(($end - $start) * 1000)")")
  done
  ck=$(python3 -c "import statistics,sys; print(statistics.median(float(x) for x in sys.argv[1:]))" "${times[@]}")
  ours+=("$ms"); theirs+=("$ck")
  printf 'round %d: verification %8.1f ms   cksum %8.1f ms\n' "$round" "$ms" "$ck"
done
rm -f "$tree.list"
python3 - "${ours[*]}" "${theirs[*]}" <<'PY'
import statistics, sys
ours = [float(x) for x in sys.argv[1].split()]
theirs = [float(x) for x in sys.argv[2].split()]
ratios = [t / o for o, t in zip(ours, theirs)]
gib = 1.0
print("median verification %.1f ms (%.2f GiB/s), cksum %.1f ms (%.2f GiB/s)" % (
    statistics.median(ours), gib / statistics.median(ours) * 1000,
    statistics.median(theirs), gib / statistics.median(theirs) * 1000))
print("median ratio cksum/verification: %.2f (above 1: verification is faster)" % statistics.median(ratios))
PY
