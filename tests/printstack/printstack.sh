#!/usr/bin/env bash
# A private print stack for the printing tests: three CUPS daemons on free
# ports of 127.0.0.1, each with its configuration, spool, cache, state and
# logs in DIR, no browsing, no sharing, no local socket, and the system's own
# CUPS setup left alone.
#
#   "printer"  its default queue prints on the cups-pdf backend, which turns
#              each job into a PDF file in DIR/pdf;
#   "stopped"  its default queue, on the same backend, is stopped with
#              cupsdisable: it takes jobs and never prints them;
#   "empty"    has no queue at all.
#
#   printstack.sh start DIR   set up DIR afresh, start them, write DIR/env
#   printstack.sh stop DIR    stop them and remove DIR
#
# Root: cupsd runs its backends as root only when it is root itself, and the
# cups-pdf backend is installed for root alone (mode 0700): it writes each
# PDF as the job's owner, which only root may. So the daemons run as root
# (or through sudo that asks no password), their filters as lp, as cupsd
# does it.
#
# cups-pdf reads its settings (where the PDFs go) from /etc/cups/cups-pdf.conf
# and nowhere else: it heeds no environment variable, and its per-queue
# files (cups-pdf-NAME.conf) live in /etc/cups too. So each daemon runs in a
# mount namespace of its own in which a bind mount shows DIR/cups-pdf.conf
# at that path: the daemon, its backends and nobody else see it, and the
# system's file is never touched. It goes with the daemon.
#
# The PDFs keep their text, so that the tests can read it back: the queue
# turns the program's PDF into PostScript with pdftocairo (cups-filters'
# other converters keep no text of a Japanese font), and cups-pdf's
# Ghostscript gives every font the name it is defined under: pdftocairo
# splits one font into subsets that share its name, and Ghostscript would
# otherwise merge them into one and lose the text of the glyphs that clash.
#
# Where the daemons cannot run (no root and no such sudo, CUPS or cups-pdf
# not installed, no mount namespace), start still succeeds but writes
# DIR/unavailable instead of DIR/env: one line saying why, which the tests
# give as their reason to skip. ZENTAVO_PRINTSTACK_UNAVAILABLE=reason makes
# start do just that on a machine that could run the stack, to check the
# tests' skipping.
#
# DIR/env holds KEY=VALUE lines (no quoting, usable with `source`):
#   CUPS_SERVER, STOPPED_CUPS_SERVER, EMPTY_CUPS_SERVER (host:port of each
#   daemon), PDF_DIR (where the PDFs appear, named after the job's title and
#   number).
set -euo pipefail

daemons=(printer stopped empty)
ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

stack=printstack
stack_root_reason="cupsd and the cups-pdf backend need root"

# shellcheck source=tests/support/daemons.sh
source "$(dirname "$0")/../support/daemons.sh"

stop_stack() {
  local name pid
  for name in "${daemons[@]}"; do
    if pid=$(stack_master "$dir/$name/cupsd.pid" /usr/sbin/cupsd "$dir/$name"); then
      kill_tree "$pid"
    fi
  done
}

# Writes the configuration of the daemon NAME listening on PORT.
write_config() {
  local name=$1 port=$2 root=$dir/$1
  mkdir -p "$root/etc/ppd" "$root/spool/tmp" "$root/cache" "$root/state"
  cat >"$root/etc/cups-files.conf" <<EOF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
ErrorLog $dir/log/$name-error_log
AccessLog $dir/log/$name-access_log
PageLog $dir/log/$name-page_log
User lp
Group lp
SystemGroup root
FileDevice No
Printcap $root/printcap
EOF
  # Anyone on this machine may do anything, without a password, as the
  # set-up below does it: the daemon is gone with the stack. A job that
  # fails is dropped rather than stopping its queue for the tests after it.
  cat >"$root/etc/cupsd.conf" <<EOF
Listen 127.0.0.1:$port
ServerName 127.0.0.1
Browsing No
BrowseLocalProtocols none
DefaultShared No
WebInterface No
LogLevel info
MaxLogSize 0
ErrorPolicy abort-job
PreserveJobFiles No
<Location />
  Order deny,allow
  Deny all
  Allow 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
}

# Starts the daemon NAME in the namespace that shows DIR/cups-pdf.conf,
# and waits until it answers.
start_cupsd() {
  local name=$1 port=$2 root=$dir/$1 i
  (
    cd "$root"
    # shellcheck disable=SC2016 # the inner shell expands them
    exec_detached "$dir/log/start.log" unshare --mount --propagation private \
      sh -c 'mount --bind "$1" /etc/cups/cups-pdf.conf && shift && exec "$@"' sh "$dir/cups-pdf.conf" \
      /usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf"
  ) &
  echo $! >"$root/cupsd.pid"
  for ((i = 0; i < 200; i++)); do
    [ "$(lpstat -h "127.0.0.1:$port" -r 2>/dev/null)" = "scheduler is running" ] && return 0
    pid_alive "$(cat "$root/cupsd.pid")" || break
    sleep 0.05
  done
  die "cupsd ($name) does not answer on 127.0.0.1:$port (see $dir/log)"
}

# Adds the queue NAME on the cups-pdf backend to the daemon at SERVER, as
# its default.
add_default_queue() {
  local server=$1 name=$2
  if ! lpadmin -h "$server" -p "$name" -v cups-pdf:/ -P "$ppd" -o pdftops-renderer-default=pdftocairo -E \
    2>>"$dir/log/lpadmin.log" || ! lpadmin -h "$server" -d "$name" 2>>"$dir/log/lpadmin.log"; then
    die "lpadmin could not add $name: $(cat "$dir/log/lpadmin.log")"
  fi
}

start_stack() {
  local why="is not installed (scripts/install-deps.sh test)"
  [ -x /usr/sbin/cupsd ] || unavailable "cupsd $why"
  command -v lpadmin >/dev/null || unavailable "the CUPS client tools $why"
  if [ ! -x /usr/lib/cups/backend/cups-pdf ] || [ ! -f /etc/cups/cups-pdf.conf ] || [ ! -f "$ppd" ]; then
    unavailable "cups-pdf $why"
  fi
  unshare --mount --propagation private true 2>/dev/null || unavailable "no mount namespace can be made here"

  stop_stack
  remove_dir
  # Searchable by lp, whose filters read the spool below.
  mkdir -m 0755 "$dir"
  touch "$dir/.zt-$stack"
  mkdir "$dir/log"
  # Jobs are written as their owners, whoever runs the tests.
  mkdir -m 1777 "$dir/pdf"
  cat >"$dir/cups-pdf.conf" <<EOF
Out $dir/pdf
AnonDirName $dir/pdf
Spool $dir/cups-pdf-spool
Log $dir/log
LogType 3
Label 2
GSCall %s -q -dCompatibilityLevel=%s -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="%s" -dAutoRotatePages=/PageByPage -dPDFSETTINGS=/prepress -c "/definefont { dup /FontName 3 index put //definefont } bind def" -f %s
EOF

  local -A port=()
  local name p
  for name in "${daemons[@]}"; do
    p=$(free_port)
    while [[ " ${port[*]} " == *" $p "* ]]; do p=$(free_port); done
    port[$name]=$p
    write_config "$name" "$p"
    start_cupsd "$name" "$p"
  done
  add_default_queue "127.0.0.1:${port[printer]}" zentavo-pdf
  add_default_queue "127.0.0.1:${port[stopped]}" zentavo-stopped
  cupsdisable -h "127.0.0.1:${port[stopped]}" -r "Paper jam" zentavo-stopped ||
    die "cupsdisable failed on zentavo-stopped"

  cat >"$dir/env" <<EOF
CUPS_SERVER=127.0.0.1:${port[printer]}
STOPPED_CUPS_SERVER=127.0.0.1:${port[stopped]}
EMPTY_CUPS_SERVER=127.0.0.1:${port[empty]}
PDF_DIR=$dir/pdf
EOF
}

stack_main "$@"
