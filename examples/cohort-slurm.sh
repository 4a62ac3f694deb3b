#!/usr/bin/env bash
# A cohort on a Slurm cluster: a job array whose tasks each analyse one slice
# of a list of recordings with nongauss-scan, then one table in list order.
#
#   ls /data/study/*.txt > files.txt
#   sbatch --array=0-49 examples/cohort-slurm.sh files.txt results
#   # when every task has ended:
#   examples/cohort-slurm.sh --merge files.txt results > cohort.tsv
#
# Task K of N takes lines K*L/N+1 to (K+1)*L/N of the L-line list and writes
# results/part_K.tsv (renamed into place when complete, so a part that exists
# is whole). A task that was cut short is run again with
# "sbatch --array=K ...". --merge checks that every part is there and holds
# a row per file and scale, then prints the header once and the parts in
# order. Environment: SCALES (default 5,10,25,50,100), SCAN_ARGS (further
# analysis options, e.g. "-d 2"), NONGAUSS_SCAN (default nongauss-scan).
# Exit status of a task: that of nongauss-scan (2 when a file failed; its
# rows carry the error in the warnings column).
#
#SBATCH --job-name=nongauss-cohort
#SBATCH --cpus-per-task=4
#SBATCH --mem=2G
#SBATCH --time=02:00:00
#SBATCH --output=slurm-%A_%a.out
set -euo pipefail

scales=${SCALES:-5,10,25,50,100}
scan=${NONGAUSS_SCAN:-nongauss-scan}

merge=0
if [ "${1:-}" = --merge ]; then merge=1; shift; fi
[ $# -eq 2 ] || { echo "usage: $0 [--merge] FILE_LIST RESULT_DIR" >&2; exit 1; }
list=$1
results=$2
mapfile -t files < <(grep -v '^[[:space:]]*$' "$list")
total=${#files[@]}

if [ $merge -eq 1 ]; then
    IFS=, read -ra scale_list <<< "$scales"
    parts=("$results"/part_*.tsv)
    [ -f "${parts[0]}" ] || { echo "$0: no parts in $results" >&2; exit 1; }
    rows=0
    for part in "${parts[@]}"; do rows=$((rows + $(tail -n +2 "$part" | wc -l))); done
    if [ $rows -ne $((total * ${#scale_list[@]})) ]; then
        echo "$0: $rows rows in $results, $((total * ${#scale_list[@]})) expected: run the missing tasks again" >&2
        exit 1
    fi
    head -n 1 "${parts[0]}"
    for part in "${parts[@]}"; do tail -n +2 "$part"; done
    exit 0
fi

task=${SLURM_ARRAY_TASK_ID:?run it as a job array: sbatch --array=0-N $0 ...}
first_task=${SLURM_ARRAY_TASK_MIN:-0}
tasks=${SLURM_ARRAY_TASK_COUNT:?run it as a job array: sbatch --array=0-N $0 ...}
k=$((task - first_task))
from=$((k * total / tasks))
to=$(((k + 1) * total / tasks))
mkdir -p "$results"
part=$results/part_$(printf '%06d' "$k").tsv
if [ $to -le $from ]; then
    echo "task $k of $tasks: no files (the list has $total)" >&2
    exit 0
fi

echo "task $k of $tasks: files $((from + 1)) to $to of $total" >&2
read -ra extra <<< "${SCAN_ARGS:-}"
status=0
"$scan" "${extra[@]}" -s "$scales" "${files[@]:from:to-from}" > "$part.partial" || status=$?
if [ $status -le 2 ] && [ -s "$part.partial" ]; then
    mv -f "$part.partial" "$part"
else
    rm -f "$part.partial"
fi
exit $status
