# shellcheck shell=bash
# Shell helpers of the test stacks (tests/mailstack, tests/printstack): the
# daemons' start with nothing of the caller inherited, free loopback ports,
# and their stop by pid, children included. Sourced; the script that sources
# it defines die.

# Becomes a daemon's start command, with nothing of ours inherited and its
# output going to LOG: a daemon that keeps our standard output (or a pipe
# the test runner handed down) open would make whoever reads it wait until
# the daemon exits. For a daemon that stays in the foreground, run it in the
# background: $! is then the daemon's pid.
exec_detached() {
  local log=$1 fd
  shift
  for fd in "/proc/$BASHPID/fd/"*; do
    fd=${fd##*/}
    if [ "$fd" -gt 2 ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
  done
  exec setsid "$@" </dev/null >>"$log" 2>&1
}

# The same for a daemon that puts itself into the background.
detached() { (exec_detached "$@"); }

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

free_port() {
  local p tries=0
  while :; do
    p=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    if ! port_in_use "$p"; then
      echo "$p"
      return
    fi
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || die "no free port found"
  done
}

# A process that has exited counts as gone even while it waits, as a
# zombie, for init to collect it.
pid_alive() {
  local line state
  { IFS= read -r line <"/proc/$1/stat"; } 2>/dev/null || return 1
  state=${line##*) }
  state=${state:0:1}
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

# Ends a daemon's master process and every process below it, by pid. The
# stack is thrown away with everything in it, so there is nothing to let
# the daemons flush: their orderly shut-down takes seconds (Dovecot's about
# three), a kill takes none. The master is stopped first so that it cannot
# start new children while they are collected.
kill_tree() {
  local master=$1 pids=("$1") line rest p i changed
  kill -STOP "$master" 2>/dev/null || return 0
  # One pass over /proc for the parent of every process (the name field of
  # stat may hold blanks, so the fields are counted from its closing
  # parenthesis), then the tree below the master from that table.
  local -A parent=()
  for p in /proc/[0-9]*/stat; do
    { IFS= read -r line <"$p"; } 2>/dev/null || continue
    rest=${line##*) }
    read -r _ ppid _ <<<"$rest"
    p=${p#/proc/}
    parent[${p%/stat}]=$ppid
  done
  changed=1
  while [ $changed -eq 1 ]; do
    changed=0
    for p in "${!parent[@]}"; do
      [[ " ${pids[*]} " == *" ${parent[$p]} "* ]] || continue
      [[ " ${pids[*]} " == *" $p "* ]] && continue
      pids+=("$p")
      changed=1
    done
  done
  kill -KILL "${pids[@]}" 2>/dev/null || true
  for p in "${pids[@]}"; do
    for ((i = 0; i < 200; i++)); do
      pid_alive "$p" || break
      sleep 0.02
    done
  done
}

# The pid in a pid file, if that process is still the one this stack
# started (a stale pid file may name a process that reused the number).
stack_master() {
  local file=$1 exe=$2 cwd=$3 pid
  [ -f "$file" ] || return 1
  IFS= read -r pid <"$file" || true
  pid=${pid//[^0-9]/}
  [ -n "$pid" ] && pid_alive "$pid" || return 1
  [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$exe" ] || return 1
  [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$cwd" ] || return 1
  echo "$pid"
}
