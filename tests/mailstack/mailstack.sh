#!/usr/bin/env bash
# A private mail stack for the end-to-end tests and the benchmark: Postfix
# takes mail by SMTP (AUTH LOGIN, checked by Dovecot's auth service) and
# delivers it into maildirs; Dovecot serves those maildirs by POP3. Both
# listen on free ports of 127.0.0.1 only, run from configuration files in
# DIR and leave the system's own mail setup alone. Needs root (or sudo that
# asks no password).
#
#   mailstack.sh start DIR   set up DIR afresh, start both, write DIR/env
#   mailstack.sh stop DIR    stop both and remove DIR
#
# Where the daemons cannot run (no root and no such sudo, Postfix or Dovecot
# not installed), start still succeeds but writes DIR/unavailable instead of
# DIR/env: one line saying why, which the tests give as their reason to skip.
# ZENTAVO_MAILSTACK_UNAVAILABLE=reason makes start do just that on a machine
# that could run the stack, to check the tests' skipping.
#
# DIR/env holds KEY=VALUE lines (no quoting, usable with `source`):
#   SMTP_HOST, SMTP_PORT, POP3_HOST, POP3_PORT, MAIL_DOMAIN,
#   MAIL_USERS (comma-separated logins, the office first), MAIL_PASSWORD,
#   MAILDIR_ROOT (one maildir per user below it, named by the local part),
#   BENCH_DOMAIN (any address there is accepted and discarded).
#
# Keep DIR short: Dovecot's auth socket lives in DIR/spool/private and unix
# socket paths are limited to 107 bytes.
set -euo pipefail

domain=staff.test
# Mail to this domain is accepted and thrown away: the benchmark's thousands
# of recipients cost the server no disk and the measurement no noise.
bench_domain=bench.test
# "reader" gets no notice: the POP3 tests empty and refill its mailbox;
# "desk" is the office of the reception test, whose replies it reads.
users=(office staff1 staff2 staff3 staff4 staff5 reader desk)
password='Zt-secret-42'
vmail_uid=5000
vmail_gid=5000

die() { echo "mailstack: $*" >&2; exit 1; }

# Runs a daemon's start command with nothing of ours inherited, its output
# going to LOG: a daemon that keeps our standard output (or a pipe the test
# runner handed down) open would make whoever reads it wait until the
# daemon exits.
detached() {
  local log=$1
  shift
  (
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      if [ "$fd" -gt 2 ]; then eval "exec $fd>&-" 2>/dev/null || true; fi
    done
    exec setsid "$@" </dev/null >>"$log" 2>&1
  )
}

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

# Waits until the server on the port greets with the given prefix.
await_greeting() {
  local port=$1 expect=$2 name=$3 i line
  for ((i = 0; i < 200; i++)); do
    line=$( (exec 3<>"/dev/tcp/127.0.0.1/$port" && IFS= read -r -t 5 l <&3 && echo "$l") 2>/dev/null || true)
    [[ "$line" == "$expect"* ]] && return 0
    sleep 0.05
  done
  die "$name does not answer on 127.0.0.1:$port (see $dir/log)"
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

stop_stack() {
  local pid
  if pid=$(stack_master "$dir/spool/pid/master.pid" /usr/lib/postfix/sbin/master "$dir/spool"); then
    kill_tree "$pid"
  fi
  if pid=$(stack_master "$dir/dovecot/run/master.pid" /usr/sbin/dovecot "$dir/dovecot/run"); then
    kill_tree "$pid"
  fi
}

write_configs() {
  local smtp_port=$1 pop3_port=$2 u

  mkdir -p "$dir/postfix" "$dir/spool" "$dir/data" "$dir/log" \
    "$dir/dovecot/run" "$dir/dovecot/state" "$dir/mail/$domain"

  cat >"$dir/postfix/main.cf" <<EOF
compatibility_level = 3.6
myhostname = mail.$domain
mydomain = $domain
myorigin = $domain
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
queue_directory = $dir/spool
data_directory = $dir/data
mail_owner = postfix
setgid_group = postdrop
maillog_file = $dir/log/postfix.log
maillog_file_prefixes = $dir
alias_maps =
alias_database =
biff = no
# Nothing ever leaves this machine.
relayhost =
default_transport = error:outside mail is not delivered by the test stack
relay_transport = error:outside mail is not delivered by the test stack
smtpd_peername_lookup = no
smtpd_banner = \$myhostname ESMTP
smtpd_sasl_auth_enable = yes
smtpd_sasl_type = dovecot
smtpd_sasl_path = private/auth
smtpd_tls_security_level = none
smtpd_tls_auth_only = no
smtpd_relay_restrictions = permit_sasl_authenticated, reject
smtpd_error_sleep_time = 0s
in_flow_delay = 0s
virtual_mailbox_domains = $domain
relay_domains = $bench_domain
transport_maps = texthash:$dir/postfix/transport
virtual_mailbox_base = $dir/mail
virtual_mailbox_maps = texthash:$dir/postfix/vmailbox
virtual_uid_maps = static:$vmail_uid
virtual_gid_maps = static:$vmail_gid
virtual_minimum_uid = 100
EOF

  # Every service without chroot: the stack's files are not inside any jail.
  cat >"$dir/postfix/master.cf" <<EOF
127.0.0.1:$smtp_port inet n - n - - smtpd
pickup     unix  n - n 60   1 pickup
cleanup    unix  n - n -    0 cleanup
qmgr       unix  n - n 300  1 qmgr
rewrite    unix  - - n -    - trivial-rewrite
bounce     unix  - - n -    0 bounce
defer      unix  - - n -    0 bounce
trace      unix  - - n -    0 bounce
verify     unix  - - n -    1 verify
flush      unix  n - n 1000? 0 flush
proxymap   unix  - - n -    - proxymap
proxywrite unix  - - n -    1 proxymap
showq      unix  n - n -    - showq
error      unix  - - n -    - error
retry      unix  - - n -    - error
discard    unix  - - n -    - discard
virtual    unix  - n n -    - virtual
anvil      unix  - - n -    1 anvil
scache     unix  - - n -    1 scache
postlog    unix-dgram n - n - 1 postlogd
EOF

  echo "$bench_domain discard:" >"$dir/postfix/transport"
  : >"$dir/postfix/vmailbox"
  : >"$dir/dovecot/passwd"
  for u in "${users[@]}"; do
    echo "$u@$domain $domain/$u/" >>"$dir/postfix/vmailbox"
    echo "$u@$domain:{PLAIN}$password::::::" >>"$dir/dovecot/passwd"
    mkdir -p "$dir/mail/$domain/$u/new" "$dir/mail/$domain/$u/cur" "$dir/mail/$domain/$u/tmp"
  done

  cat >"$dir/dovecot/dovecot.conf" <<EOF
base_dir = $dir/dovecot/run
state_dir = $dir/dovecot/state
instance_name = zt-mailstack
protocols = pop3
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login
# A wrong password must not slow down the logins that follow it.
auth_failure_delay = 0
log_path = $dir/log/dovecot.log
mail_location = maildir:$dir/mail/%d/%n
first_valid_uid = $vmail_uid
last_valid_uid = $vmail_uid
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/dovecot/passwd
}
userdb {
  driver = static
  args = uid=$vmail_uid gid=$vmail_gid home=$dir/mail/%d/%n
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3_port
  }
}
# Dovecot slows down every login from an address that recently gave a wrong
# password, by seconds that double with each new wrong one. Every test
# client is 127.0.0.1, so one test of a wrong password would stall the tests
# after it. The auth process keeps no penalty when it cannot reach anvil's
# penalty socket.
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
service auth {
  unix_listener $dir/spool/private/auth {
    mode = 0660
    user = postfix
    group = postfix
  }
}
EOF

  cat >"$dir/env" <<EOF
SMTP_HOST=127.0.0.1
SMTP_PORT=$smtp_port
POP3_HOST=127.0.0.1
POP3_PORT=$pop3_port
MAIL_DOMAIN=$domain
MAIL_USERS=$(IFS=,; echo "${users[*]/%/@$domain}")
MAIL_PASSWORD=$password
MAILDIR_ROOT=$dir/mail/$domain
BENCH_DOMAIN=$bench_domain
EOF

  # Postfix's queue: what post-install would create, without its slow checks.
  local q
  for q in active bounce corrupt defer deferred flush hold incoming private saved trace; do
    install -d -o postfix -g root -m 0700 "$dir/spool/$q"
  done
  install -d -o postfix -g postdrop -m 0730 "$dir/spool/maildrop"
  install -d -o postfix -g postdrop -m 0710 "$dir/spool/public"
  install -d -o root -g root -m 0755 "$dir/spool/pid"
  chown postfix:postfix "$dir/data"
  chmod 0700 "$dir/data"

  # The maildirs belong to the virtual mail uid; everything above them must
  # be searchable by that uid and by postfix.
  chmod 0755 "$dir" "$dir/mail"
  chown -R "$vmail_uid:$vmail_gid" "$dir/mail/$domain"

  # Postfix waits for files changed within the last second to settle before
  # it trusts them; files written a moment ago would stall the first
  # connection by a second or two.
  find "$dir" -exec touch -h -d '-1 minute' {} +
}

# Removes DIR, but only when it is a stack's folder (or empty): a mistyped
# argument must not wipe anything else.
remove_dir() {
  [ -e "$dir" ] || return 0
  if [ -e "$dir/.zt-mailstack" ] || [ -z "$(ls -A "$dir")" ]; then
    rm -rf "$dir"
  else
    die "$dir is not a mail stack's folder; not removing it"
  fi
}

# Leaves DIR holding only the reason why no stack runs, and ends well: the
# tests skip rather than fail on a machine that cannot run the daemons.
unavailable() {
  [ "$(id -u)" -ne 0 ] || stop_stack
  remove_dir
  mkdir "$dir"
  touch "$dir/.zt-mailstack"
  echo "$*" >"$dir/unavailable"
  echo "mailstack: not started: $*" >&2
  exit 0
}

start_stack() {
  command -v postfix >/dev/null || unavailable "postfix is not installed (scripts/install-deps.sh test)"
  command -v dovecot >/dev/null || unavailable "dovecot is not installed (scripts/install-deps.sh test)"

  stop_stack
  remove_dir
  mkdir "$dir"
  touch "$dir/.zt-mailstack"

  local smtp_port pop3_port
  smtp_port=$(free_port)
  pop3_port=$(free_port)
  while [ "$pop3_port" = "$smtp_port" ]; do pop3_port=$(free_port); done
  write_configs "$smtp_port" "$pop3_port"

  detached "$dir/log/start.log" dovecot -c "$dir/dovecot/dovecot.conf" ||
    die "dovecot failed to start: $(cat "$dir/log/start.log")"
  detached "$dir/log/start.log" /usr/lib/postfix/sbin/master -c "$dir/postfix" -w ||
    die "postfix failed to start: $(cat "$dir/log/start.log")"
  await_greeting "$pop3_port" "+OK" dovecot
  await_greeting "$smtp_port" "220" postfix
  # Postfix hands AUTH to Dovecot's socket: the stack is ready once it exists.
  local i
  for ((i = 0; i < 200; i++)); do
    [ -S "$dir/spool/private/auth" ] && break
    sleep 0.05
  done
  [ -S "$dir/spool/private/auth" ] || die "dovecot's auth socket did not appear"
}

[ $# -eq 2 ] || die "usage: mailstack.sh start|stop DIR"
dir=${2%/}
[ -n "$dir" ] || die "DIR must not be the root folder"
case "$dir" in
  /*) ;;
  *) dir="$PWD/$dir" ;;
esac
# DIR is emptied, chmod-ed and removed as root: it must name a folder of its
# own below an existing one, never an existing folder by a detour.
case "$dir/" in
  *//* | */./* | */../*) die "DIR must be a plain path without '.', '..' or '//': $dir" ;;
esac
[ "${dir%/*}" != "" ] || die "DIR must not be a top-level folder: $dir"
[ -d "${dir%/*}" ] || die "the folder that should hold DIR does not exist: ${dir%/*}"
[ ! -L "$dir" ] || die "DIR must not be a symbolic link: $dir"
[ ${#dir} -le 60 ] || die "DIR is too long for Dovecot's socket paths: $dir"

case "$1" in
  start | stop) ;;
  *) die "usage: mailstack.sh start|stop DIR" ;;
esac

if [ "$1" = start ] && [ -n "${ZENTAVO_MAILSTACK_UNAVAILABLE:-}" ]; then
  unavailable "$ZENTAVO_MAILSTACK_UNAVAILABLE"
fi
# The daemons need root. A developer who is not root but may use sudo
# without a password gets the same stack through it; anyone else gets the
# note, which needs no root to write or to remove.
if [ "$(id -u)" -ne 0 ] && ! { command -v sudo >/dev/null && sudo -n true 2>/dev/null; }; then
  if [ "$1" = start ]; then
    unavailable "the mail daemons need root, and sudo is missing or asks for a password"
  fi
  [ ! -e "$dir" ] || [ -e "$dir/unavailable" ] || die "must run as root to stop the stack in $dir"
  remove_dir
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  exec sudo -n "$0" "$@"
fi

if [ "$1" = start ]; then
  start_stack
else
  stop_stack
  remove_dir
fi
