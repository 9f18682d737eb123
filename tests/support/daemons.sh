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

# What a stack script (mailstack.sh, printstack.sh) shares. The script sets
# `stack` (its name), `stack_root_reason` (why it needs root) and, where
# socket paths limit it, `stack_longest_dir`; defines start_stack and
# stop_stack; then hands its arguments to stack_main.

die() { echo "$stack: $*" >&2; exit 1; }

# Removes DIR, but only when it is a stack's folder (or empty): a mistyped
# argument must not wipe anything else.
remove_dir() {
  [ -e "$dir" ] || return 0
  if [ -e "$dir/.zt-$stack" ] || [ -z "$(ls -A "$dir")" ]; then
    rm -rf "$dir"
  else
    die "$dir is not a $stack folder; not removing it"
  fi
}

# Leaves DIR holding only the reason why no stack runs, and ends well: the
# tests skip rather than fail on a machine that cannot run the daemons.
unavailable() {
  [ "$(id -u)" -ne 0 ] || stop_stack
  remove_dir
  mkdir "$dir"
  touch "$dir/.zt-$stack"
  echo "$*" >"$dir/unavailable"
  echo "$stack: not started: $*" >&2
  exit 0
}

# start|stop DIR, with DIR checked first: it is emptied, chmod-ed and
# removed as root, so it must name a folder of its own below an existing
# one, never an existing folder by a detour. ZENTAVO_<STACK>_UNAVAILABLE
# makes start leave only its note.
stack_main() {
  [ $# -eq 2 ] || die "usage: $stack.sh start|stop DIR"
  dir=${2%/}
  [ -n "$dir" ] || die "DIR must not be the root folder"
  case "$dir" in
    /*) ;;
    *) dir="$PWD/$dir" ;;
  esac
  case "$dir/" in
    *//* | */./* | */../*) die "DIR must be a plain path without '.', '..' or '//': $dir" ;;
  esac
  [ "${dir%/*}" != "" ] || die "DIR must not be a top-level folder: $dir"
  [ -d "${dir%/*}" ] || die "the folder that should hold DIR does not exist: ${dir%/*}"
  [ ! -L "$dir" ] || die "DIR must not be a symbolic link: $dir"
  [ ${#dir} -le "${stack_longest_dir:-200}" ] || die "DIR is too long for the daemons' socket paths: $dir"
  case "$1" in
    start | stop) ;;
    *) die "usage: $stack.sh start|stop DIR" ;;
  esac
  local forced="ZENTAVO_${stack^^}_UNAVAILABLE"
  if [ "$1" = start ] && [ -n "${!forced:-}" ]; then unavailable "${!forced}"; fi
  # The daemons need root. A developer who is not root but may use sudo
  # without a password gets the same stack through it; anyone else gets the
  # note, which needs no root to write or to remove.
  if [ "$(id -u)" -ne 0 ] && ! { command -v sudo >/dev/null && sudo -n true 2>/dev/null; }; then
    [ "$1" != start ] || unavailable "$stack_root_reason, and sudo is missing or asks for a password"
    [ ! -e "$dir" ] || [ -e "$dir/unavailable" ] || die "must run as root to stop the stack in $dir"
    remove_dir
    exit 0
  fi
  [ "$(id -u)" -eq 0 ] || exec sudo -n "$0" "$@"
  if [ "$1" = start ]; then
    start_stack
  else
    stop_stack
    remove_dir
  fi
}
