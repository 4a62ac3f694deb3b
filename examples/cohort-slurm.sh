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
# results/part_K.tsv: under a hidden temporary name, renamed into place when
# nongauss-scan has ended, and removed if the task is cancelled (scancel's
# SIGTERM, or any other signal that ends it and can be caught), so a part that
# exists is whole. A task that was cut short is run again alone with
# "sbatch --array=K ..." over the same list and directory: the first task to
# run keeps the array's slices in results/slicing, and a task run again
# takes the slice it had (a new array wants a new directory). --merge checks
# that the parts hold exactly one row per file and scale, in the order of the
# list (a part left from another list or other scales does not count), then
# prints the header once and the parts in order. Environment: SCALES (default 5,10,25,50,100), SCAN_ARGS (further
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
[ -f "$list" ] && [ -r "$list" ] || { echo "$0: cannot read the list $list" >&2; exit 1; }
mapfile -t files < <(grep -v '^[[:space:]]*$' < "$list" || true)
total=${#files[@]}

if [ $merge -eq 1 ]; then
    IFS=, read -ra scale_list <<< "$scales"
    parts=("$results"/part_*.tsv)
    [ -f "${parts[0]}" ] || { echo "$0: no parts in $results" >&2; exit 1; }
    # The file column the list and the scales ask for (names escaped as
    # nongauss-scan writes them), against the parts' rows in order.
    expected() {
        local f s
        for f in "${files[@]}"; do
            f=${f//\\/\\\\}
            f=${f//$'\t'/\\t}
            f=${f//$'\r'/\\r}
            for s in "${scale_list[@]}"; do printf '%s\n' "$f"; done
        done
    }
    found() {
        local part
        for part in "${parts[@]}"; do tail -n +2 -- "$part" | cut -f1; done
    }
    header=$(head -n 1 -- "${parts[0]}")
    for part in "${parts[@]}"; do
        if [ "$(head -n 1 -- "$part")" != "$header" ]; then
            echo "$0: $part has another header than ${parts[0]}: run the missing tasks again" >&2
            exit 1
        fi
    done
    if ! cmp -s <(expected) <(found); then
        rows=$(found | wc -l)
        echo "$0: $rows rows in $results, $((total * ${#scale_list[@]})) expected, one per file and scale in the order of $list: run the missing tasks again (a part from another list or other scales does not count)" >&2
        exit 1
    fi
    printf '%s\n' "$header"
    for part in "${parts[@]}"; do tail -n +2 -- "$part"; done
    exit 0
fi

task=${SLURM_ARRAY_TASK_ID:?run it as a job array: sbatch --array=0-N $0 ...}
first_task=${SLURM_ARRAY_TASK_MIN:-0}
tasks=${SLURM_ARRAY_TASK_COUNT:?run it as a job array: sbatch --array=0-N $0 ...}
[ -z "${SLURM_ARRAY_TASK_MAX:-}" ] || tasks=$((SLURM_ARRAY_TASK_MAX - first_task + 1))
mkdir -p -- "$results"
# The slices are those of the first array that ran over RESULT_DIR, kept in
# RESULT_DIR/slicing (its first task, its number of tasks, the list's number
# of files): a task run again alone, in an array of its own, takes the slice
# it had in that array.
slicing=$results/slicing
if [ ! -f "$slicing" ]; then
    printf '%s %s %s\n' "$first_task" "$tasks" "$total" > "$slicing.${SLURM_JOB_ID:-$$}"
    ln -- "$slicing.${SLURM_JOB_ID:-$$}" "$slicing" 2> /dev/null || true  # the first task there sets it
    rm -f -- "$slicing.${SLURM_JOB_ID:-$$}"
fi
read -r first_task tasks sliced < "$slicing" || { echo "$0: cannot read $slicing" >&2; exit 1; }
if [ "$sliced" != "$total" ] || [ "$task" -lt "$first_task" ] || [ "$task" -ge $((first_task + tasks)) ]; then
    echo "$0: $results holds the parts of tasks $first_task to $((first_task + tasks - 1)) over a list of $sliced files, and task $task over $total files is not one of them: run the missing tasks of that array, or use another directory" >&2
    exit 1
fi
k=$((task - first_task))
from=$((k * total / tasks))
to=$(((k + 1) * total / tasks))
part=$results/part_$(printf '%06d' "$k").tsv
if [ $to -le $from ]; then
    echo "task $k of $tasks: no files (the list has $total)" >&2
    exit 0
fi

echo "task $k of $tasks: files $((from + 1)) to $to of $total" >&2
read -ra extra <<< "${SCAN_ARGS:-}"
# The part is written under a hidden name of this task's own, which --merge
# does not read, and renamed when complete.
partial=$results/.part_$(printf '%06d' "$k").tsv.$$
child=
on_signal() {
    trap '' INT TERM HUP QUIT USR1 USR2 ALRM XFSZ PIPE
    if [ -n "$child" ]; then kill -TERM "$child" 2> /dev/null || true; wait "$child" 2> /dev/null || true; fi
    rm -f -- "$partial"
    echo "task $k of $tasks: cancelled; $part was not written" >&2 || true
    trap - "$1"
    kill -s "$1" "$$"
    exit $((128 + $(kill -l "$1")))
}
for s in INT TERM HUP QUIT USR1 USR2 ALRM XFSZ PIPE; do trap "on_signal $s" "$s"; done
status=0
# In the background, so that a signal is handled at once.
"$scan" "${extra[@]}" -s "$scales" -- "${files[@]:from:to-from}" > "$partial" &
child=$!
wait "$child" || status=$?
child=
if [ $status -le 2 ] && [ -s "$partial" ]; then
    mv -f -- "$partial" "$part"
else
    rm -f -- "$partial"
fi
exit $status
