#!/usr/bin/env bash
# A private mail stack for the end-to-end tests and the benchmark: Postfix
# takes mail by SMTP (AUTH PLAIN or LOGIN, checked by Dovecot's auth service)
# and delivers it into maildirs; Dovecot serves those maildirs by POP3. Both
# listen on free ports of 127.0.0.1 only, run from configuration files in
# DIR and leave the system's own mail setup alone. Needs root (or sudo that
# asks no password).
#
# TLS: the plain SMTP port offers none, as before. Three more SMTP ports
# take TLS: one by STARTTLS, required before AUTH or mail; one in implicit
# TLS; one in implicit TLS whose certificate names another host. The POP3
# port offers STLS (plain login stays allowed there) and a pop3s port speaks
# implicit TLS. The certificates come from a test CA made afresh in DIR/tls
# at every start; a second CA that signed none of them is there for the
# tests of an untrusted server.
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
#   BENCH_DOMAIN (any address there is accepted and discarded),
#   DEAD_ADDRESS (accepted at RCPT time, then refused at delivery, so that
#   Postfix returns a real delivery status notification to the sender),
#   SMTP_STARTTLS_PORT, SMTPS_PORT, SMTPS_WRONG_NAME_PORT, POP3S_PORT (all on
#   SMTP_HOST or POP3_HOST), TLS_CA_FILE (the CA that signed the servers'
#   certificates, PEM), TLS_OTHER_CA_FILE (a CA that signed nothing here).
#
#   OAUTH_AUTHORIZE_URL, OAUTH_TOKEN_URL (the test authorization server's
#   endpoints, HTTPS under the test CA), OAUTH_CONTROL_URL, OAUTH_LOG_URL (its
#   test controls and its record of requests, see tests/oauth/authserver.py),
#   OAUTH_HTTP_BASE_URL (the same server in plain HTTP, for the tests of an
#   endpoint that must be refused), OAUTH_CLIENT_ID (a public client: no
#   secret), OAUTH_CLIENT_SECRET_CLIENT_ID and OAUTH_CLIENT_SECRET (a client
#   that sends a secret, which an installed program cannot keep secret but
#   some providers still hand out), OAUTH_SCOPE (what the mail servers ask
#   for; one scope, as a value here holds no blank), OAUTH_DEFAULT_USER (whom
#   a token is for when the sign-in names nobody by login_hint).
#
# OAuth: beside the passwords, both servers take an OAuth 2.0 bearer token
# by SASL XOAUTH2 and OAUTHBEARER. The stack runs a test authorization
# server of its own (tests/oauth/authserver.py) and Dovecot asks its
# introspection endpoint about every token; Postfix leaves SMTP AUTH to
# Dovecot, so it takes the same tokens. The server lives and dies with the
# stack.
#
# Keep DIR short: Dovecot's auth socket lives in DIR/spool/private and unix
# socket paths are limited to 107 bytes.
set -euo pipefail

domain=staff.test
# Mail to this domain is accepted and thrown away: the benchmark's thousands
# of recipients cost the server no disk and the measurement no noise.
bench_domain=bench.test
dead_address=gone@staff.test
# "reader" gets no notice: the POP3 tests empty and refill its mailbox;
# "desk" is the office of the reception test, whose replies it reads.
users=(office staff1 staff2 staff3 staff4 staff5 reader desk)
password='Zt-secret-42'
vmail_uid=5000
vmail_gid=5000
# The test authorization server's clients. The second one's secret is as
# public as the first one's id: it stands for the secrets that providers
# hand to installed programs, which cannot keep them.
oauth_public_client=zentavo-test-desktop
oauth_secret_client=zentavo-test-desktop-with-secret
oauth_client_secret=zt-not-really-secret
oauth_scope=https://mail.$domain/
python=/usr/bin/python3
authserver=$(cd "$(dirname "${BASH_SOURCE[0]}")/../oauth" && pwd)/authserver.py

stack=mailstack
stack_root_reason="the mail daemons need root"
stack_longest_dir=60  # Dovecot's socket paths

# shellcheck source=tests/support/daemons.sh
source "$(dirname "$0")/../support/daemons.sh"

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

# The same through TLS, verified against the test CA for the host name
# (localhost unless given).
await_tls_greeting() {
  local port=$1 expect=$2 name=$3 host=${4:-localhost} i line fd pid
  for ((i = 0; i < 100; i++)); do
    # s_client -quiet waits for the server to close even after its input
    # ends; it is stopped once the greeting has been read.
    exec {fd}< <(exec timeout 5 openssl s_client -quiet -verify_return_error -CAfile "$dir/tls/ca.pem" \
      -verify_hostname "$host" -connect "127.0.0.1:$port" </dev/null 2>>"$dir/log/tls.log")
    pid=$!
    line=
    IFS= read -r -t 5 line <&"$fd" || true
    exec {fd}<&-
    kill "$pid" 2>/dev/null || true
    [[ "$line" == "$expect"* ]] && return 0
    sleep 0.05
  done
  die "$name does not answer through TLS on 127.0.0.1:$port (see $dir/log)"
}

stop_stack() {
  local pid
  if pid=$(stack_master "$dir/spool/pid/master.pid" /usr/lib/postfix/sbin/master "$dir/spool"); then
    kill_tree "$pid"
  fi
  if pid=$(stack_master "$dir/dovecot/run/master.pid" /usr/sbin/dovecot "$dir/dovecot/run"); then
    kill_tree "$pid"
  fi
  if pid=$(stack_master "$dir/oauth/authserver.pid" "$(readlink -f "$python")" "$dir/oauth"); then
    kill_tree "$pid"
  fi
}

# The test CA and what it signs, made afresh in DIR/tls at every start so
# that no key outlives its stack. EC keys take milliseconds to make where
# RSA keys would take most of a second each. Keys stay unencrypted for the
# daemons, which read them as root before they drop their privileges; the
# certificates are readable by anyone, since the tests that trust them do
# not run as root.
make_certificates() {
  local tls=$dir/tls
  mkdir -m 0755 "$tls"
  # A [req] section of our own keeps the system's openssl.cnf, and the
  # extensions it adds, out of these certificates.
  cat >"$tls/x509.cnf" <<EOF
[req]
distinguished_name = dn
[dn]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
EOF
  # A server certificate's extensions, for each name it is made for.
  local section san
  for section in "server:DNS:localhost, IP:127.0.0.1" "wrong_name:DNS:wrong.test"; do
    san=${section#*:}
    printf '[%s]\nbasicConstraints = critical, CA:false\nkeyUsage = critical, digitalSignature\n%s\n%s\n%s\nsubjectAltName = %s\n' \
      "${section%%:*}" "extendedKeyUsage = serverAuth" "subjectKeyIdentifier = hash" "authorityKeyIdentifier = keyid" \
      "$san" >>"$tls/x509.cnf"
  done
  local newkey=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -noenc -config "$tls/x509.cnf")
  make_ca() {
    openssl req -x509 "${newkey[@]}" -extensions ca -days 365 -subj "/O=Zentavo/CN=$2" \
      -keyout "$tls/$1.key" -out "$tls/$1.pem" 2>>"$dir/log/tls.log"
  }
  # Signed by the test CA; x509 draws a random serial number itself.
  make_leaf() {
    openssl req -new "${newkey[@]}" -subj "/O=Zentavo/CN=$2" -keyout "$tls/$1.key" 2>>"$dir/log/tls.log" |
      openssl x509 -req -CA "$tls/ca.pem" -CAkey "$tls/ca.key" -days 365 \
        -extfile "$tls/x509.cnf" -extensions "$3" -out "$tls/$1.pem" 2>>"$dir/log/tls.log"
  }
  (
    umask 077
    make_ca ca "Zentavo Test CA" &&
      make_leaf server localhost server &&
      make_leaf wrong-name wrong.test wrong_name &&
      make_ca other-ca "Zentavo Other CA"
  ) || die "could not make the test certificates: $(cat "$dir/log/tls.log")"
  chmod 0644 "$tls"/*.pem
}

# Writes the daemons' configurations and DIR/env for the ports in the
# caller's associative array "port".
write_configs() {
  local u tls=$dir/tls

  mkdir -p "$dir/postfix" "$dir/spool" "$dir/data" \
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
# The plain port offers no TLS; the TLS ports of master.cf switch it on.
smtpd_tls_security_level = none
smtpd_tls_auth_only = no
smtpd_tls_cert_file = $tls/server.pem
smtpd_tls_key_file = $tls/server.key
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
  # Beside the plain port: submission with STARTTLS required before AUTH or
  # mail, implicit TLS, and implicit TLS under a certificate for another
  # host name.
  cat >"$dir/postfix/master.cf" <<EOF
127.0.0.1:${port[smtp]} inet n - n - - smtpd
127.0.0.1:${port[smtp_starttls]} inet n - n - - smtpd
  -o smtpd_tls_security_level=encrypt
  -o smtpd_tls_auth_only=yes
127.0.0.1:${port[smtps]} inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
  -o smtpd_tls_security_level=encrypt
127.0.0.1:${port[smtps_wrong_name]} inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
  -o smtpd_tls_security_level=encrypt
  -o smtpd_tls_cert_file=$tls/wrong-name.pem
  -o smtpd_tls_key_file=$tls/wrong-name.key
tlsmgr     unix  - - n 1000? 1 tlsmgr
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
gone       unix  - n n -    - pipe
  flags= user=nobody argv=/bin/sh -c { exit 67 }
anvil      unix  - - n -    1 anvil
scache     unix  - - n -    1 scache
postlog    unix-dgram n - n - 1 postlogd
EOF

  # A mailbox that no longer exists: the pipe ends with EX_NOUSER (67),
  # which Postfix reports as 5.1.1 in its bounce.
  printf '%s discard:\n%s gone:\n' "$bench_domain" "$dead_address" >"$dir/postfix/transport"
  echo "$dead_address $domain/gone/" >"$dir/postfix/vmailbox"
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
# STLS on the POP3 port, which still takes a plain login for the clients
# that do not upgrade.
ssl = yes
ssl_cert = <$tls/server.pem
ssl_key = <$tls/server.key
disable_plaintext_auth = no
auth_mechanisms = plain login xoauth2 oauthbearer
# A wrong password must not slow down the logins that follow it.
auth_failure_delay = 0
log_path = $dir/log/dovecot.log
mail_location = maildir:$dir/mail/%d/%n
first_valid_uid = $vmail_uid
last_valid_uid = $vmail_uid
pop3_uidl_format = %08Xu%08Xv
# Each login goes to one passdb, by its mechanism: a password is never
# sent to the authorization server as a token, nor a token compared with
# the passwords.
passdb {
  driver = passwd-file
  mechanisms = plain login
  args = scheme=PLAIN username_format=%u $dir/dovecot/passwd
}
passdb {
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = $dir/dovecot/oauth2.conf.ext
}
userdb {
  driver = static
  args = uid=$vmail_uid gid=$vmail_gid home=$dir/mail/%d/%n
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = ${port[pop3]}
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = ${port[pop3s]}
    ssl = yes
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

  # Every token is checked by the introspection endpoint (RFC 7662), over
  # HTTPS verified against the test CA. The token must be active and name
  # the user who logs in. Dovecot keeps no cache of the answers (no
  # auth_cache_size), so a token expired or revoked by the tests is refused
  # at the next login.
  cat >"$dir/dovecot/oauth2.conf.ext" <<EOF
introspection_mode = post
introspection_url = https://127.0.0.1:${port[oauth_https]}/introspect
username_attribute = username
active_attribute = active
active_value = true
tls_ca_cert_file = $tls/ca.pem
timeout_msecs = 10000
EOF

  local oauth=https://127.0.0.1:${port[oauth_https]}
  cat >"$dir/env" <<EOF
SMTP_HOST=127.0.0.1
SMTP_PORT=${port[smtp]}
SMTP_STARTTLS_PORT=${port[smtp_starttls]}
SMTPS_PORT=${port[smtps]}
SMTPS_WRONG_NAME_PORT=${port[smtps_wrong_name]}
POP3_HOST=127.0.0.1
POP3_PORT=${port[pop3]}
POP3S_PORT=${port[pop3s]}
MAIL_DOMAIN=$domain
MAIL_USERS=$(IFS=,; echo "${users[*]/%/@$domain}")
MAIL_PASSWORD=$password
MAILDIR_ROOT=$dir/mail/$domain
BENCH_DOMAIN=$bench_domain
DEAD_ADDRESS=$dead_address
TLS_CA_FILE=$tls/ca.pem
TLS_OTHER_CA_FILE=$tls/other-ca.pem
OAUTH_AUTHORIZE_URL=$oauth/authorize
OAUTH_TOKEN_URL=$oauth/token
OAUTH_CONTROL_URL=$oauth/control
OAUTH_LOG_URL=$oauth/log
OAUTH_HTTP_BASE_URL=http://127.0.0.1:${port[oauth_http]}
OAUTH_CLIENT_ID=$oauth_public_client
OAUTH_CLIENT_SECRET_CLIENT_ID=$oauth_secret_client
OAUTH_CLIENT_SECRET=$oauth_client_secret
OAUTH_SCOPE=$oauth_scope
OAUTH_DEFAULT_USER=${users[0]}@$domain
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

# Starts the test authorization server in DIR/oauth, under the test CA's
# server certificate, and fills in the caller's ports. It reads its key as
# root and then goes on as nobody.
start_authserver() {
  mkdir -m 0755 "$dir/oauth"
  # setsid -f forks: the server goes on alone, as the daemons do, and this
  # script need not wait for it.
  (
    cd "$dir/oauth"
    detached "$dir/log/authserver.log" setsid -f "$python" "$authserver" \
      --port-file "$dir/oauth/ports" --pid-file "$dir/oauth/authserver.pid" \
      --tls "$dir/tls/server.pem" "$dir/tls/server.key" --http \
      --public-client "$oauth_public_client" \
      --secret-client "$oauth_secret_client" "$oauth_client_secret" \
      --default-user "${users[0]}@$domain" --user nobody
  )
  local i line
  for ((i = 0; i < 200; i++)); do
    [ -f "$dir/oauth/ports" ] && break
    sleep 0.025
  done
  [ -f "$dir/oauth/ports" ] || die "the authorization server did not start: $(cat "$dir/log/authserver.log")"
  while IFS= read -r line; do
    port[oauth_${line%%=*}]=${line#*=}
  done <"$dir/oauth/ports"
}

start_stack() {
  command -v postfix >/dev/null || unavailable "postfix is not installed (scripts/install-deps.sh test)"
  command -v dovecot >/dev/null || unavailable "dovecot is not installed (scripts/install-deps.sh test)"
  command -v openssl >/dev/null || unavailable "openssl is not installed (scripts/install-deps.sh test)"
  [ -x "$python" ] || unavailable "python3 is not installed (scripts/install-deps.sh test)"

  stop_stack
  remove_dir
  mkdir "$dir"
  touch "$dir/.zt-$stack"

  mkdir "$dir/log"
  make_certificates
  local -A port=()
  local name p
  # The authorization server first: the kernel gives it its ports, which
  # the probing for the daemons' ports below then steers clear of.
  start_authserver
  for name in smtp smtp_starttls smtps smtps_wrong_name pop3 pop3s; do
    p=$(free_port)
    while [[ " ${port[*]} " == *" $p "* ]]; do p=$(free_port); done
    port[$name]=$p
  done
  write_configs

  detached "$dir/log/start.log" dovecot -c "$dir/dovecot/dovecot.conf" ||
    die "dovecot failed to start: $(cat "$dir/log/start.log")"
  detached "$dir/log/start.log" /usr/lib/postfix/sbin/master -c "$dir/postfix" -w ||
    die "postfix failed to start: $(cat "$dir/log/start.log")"
  await_greeting "${port[pop3]}" "+OK" dovecot
  await_greeting "${port[smtp]}" "220" postfix
  await_greeting "${port[smtp_starttls]}" "220" "postfix's STARTTLS port"
  # The implicit TLS ports are checked through a verified TLS session, so
  # that a certificate the daemons cannot load fails here, not in a test.
  await_tls_greeting "${port[smtps]}" "220" "postfix's TLS port"
  await_tls_greeting "${port[smtps_wrong_name]}" "220" "postfix's TLS port with the wrong name" wrong.test
  await_tls_greeting "${port[pop3s]}" "+OK" "dovecot's TLS port"
  # Postfix hands AUTH to Dovecot's socket: the stack is ready once it exists.
  local i
  for ((i = 0; i < 200; i++)); do
    [ -S "$dir/spool/private/auth" ] && break
    sleep 0.05
  done
  [ -S "$dir/spool/private/auth" ] || die "dovecot's auth socket did not appear"
}

stack_main "$@"
