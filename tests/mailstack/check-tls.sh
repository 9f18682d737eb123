#!/usr/bin/env bash
# Checks the TLS side of a running mail stack with the openssl command-line
# client alone, so that a failing TLS test of the program can be told apart
# from a stack that is set up wrong:
#
#   check-tls.sh DIR     DIR as given to mailstack.sh start
#
# Ends with 0 when every check passes, 1 when one fails (each is listed) and
# 77 when the stack could not run on this machine (ctest counts that as
# skipped).
set -uo pipefail

[ $# -eq 1 ] || { echo "usage: check-tls.sh DIR" >&2; exit 2; }
# shellcheck source=tests/support/checks.sh
source "$(dirname "$0")/../support/checks.sh"
use_stack "$1"
user=${MAIL_USERS%%,*}


# A plain session: waits for the greeting, sends the lines (CR LF each) and
# prints everything the server says until it hangs up.
plain() {
  local port=$1 fd greeting
  shift
  exec {fd}<>"/dev/tcp/127.0.0.1/$port" || return 1
  IFS= read -r -t 5 greeting <&"$fd"
  echo "$greeting"
  printf '%s\r\n' "$@" >&"$fd"
  timeout 10 cat <&"$fd"
  exec {fd}>&-
}

# A TLS session verified against CA for HOST (an IP address is checked as
# one); OPTIONS go to s_client (-starttls smtp, say). The lines are sent
# once TLS is up; fails when the handshake or the verification does.
tls() {
  local port=$1 ca=$2 host=$3 name_check=-verify_hostname
  shift 3
  [[ "$host" =~ ^[0-9.]+$ ]] && name_check=-verify_ip
  local options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  printf '%s\n' "$@" | timeout 10 openssl s_client -quiet -crlf -verify_return_error -CAfile "$ca" \
    "$name_check" "$host" -connect "127.0.0.1:$port" "${options[@]}" 2>/dev/null
}

auth_plain=$(printf '\0%s\0%s' "$user" "$MAIL_PASSWORD" | base64 -w0)

sans=$(openssl x509 -noout -ext subjectAltName -in "$dir/tls/server.pem")
check "the server's certificate names localhost and 127.0.0.1" has "^ *DNS:localhost, IP Address:127.0.0.1$" "$sans"
sans=$(openssl x509 -noout -ext subjectAltName -in "$dir/tls/wrong-name.pem")
check "the other certificate names only wrong.test" has "^ *DNS:wrong.test$" "$sans"

out=$(plain "$SMTP_PORT" "EHLO check" QUIT)
check "the plain SMTP port offers no STARTTLS" lacks STARTTLS "$out"
check "the plain SMTP port offers AUTH PLAIN LOGIN" has "250-AUTH PLAIN LOGIN" "$out"

out=$(plain "$SMTP_STARTTLS_PORT" "EHLO check" "AUTH PLAIN $auth_plain" "MAIL FROM:<$user>" QUIT)
check "the STARTTLS port offers STARTTLS" has "250-STARTTLS" "$out"
check "the STARTTLS port offers no AUTH before TLS" lacks "AUTH" "$(grep ^250 <<<"$out")"
check "the STARTTLS port refuses AUTH and mail before TLS" test "$(grep -c "^530" <<<"$out")" -eq 2
out=$(tls "$SMTP_STARTTLS_PORT" "$TLS_CA_FILE" localhost -starttls smtp -- "EHLO check" "AUTH PLAIN $auth_plain" QUIT)
check "STARTTLS on the submission port, verified for localhost" has "^221" "$out"
check "AUTH PLAIN and LOGIN offered after STARTTLS" has "250-AUTH PLAIN LOGIN" "$out"
check "AUTH PLAIN accepted after STARTTLS" has "^235" "$out"
out=$(tls "$SMTP_STARTTLS_PORT" "$TLS_CA_FILE" 127.0.0.1 -starttls smtp -- QUIT)
check "STARTTLS on the submission port, verified for 127.0.0.1" has "^221" "$out"

out=$(tls "$SMTPS_PORT" "$TLS_CA_FILE" localhost -- "EHLO check" "AUTH PLAIN $auth_plain" QUIT)
check "implicit TLS on the SMTPS port, verified" has "^220" "$out"
check "the SMTPS port offers no STARTTLS" lacks STARTTLS "$out"
check "AUTH PLAIN accepted on the SMTPS port" has "^235" "$out"
out=$(tls "$SMTPS_PORT" "$TLS_OTHER_CA_FILE" localhost -- QUIT)
check "the other CA does not verify the SMTPS port" test -z "$out"

out=$(tls "$SMTPS_WRONG_NAME_PORT" "$TLS_CA_FILE" localhost -- QUIT)
check "the wrong-name port fails the check for localhost" test -z "$out"
out=$(tls "$SMTPS_WRONG_NAME_PORT" "$TLS_CA_FILE" wrong.test -- QUIT)
check "the wrong-name port passes the check for wrong.test" has "^220" "$out"

out=$(plain "$POP3_PORT" CAPA "USER $user" "PASS $MAIL_PASSWORD" QUIT)
check "the POP3 port offers STLS" has "^STLS" "$out"
check "the POP3 port still takes a plain login" has "^+OK Logged in" "$out"
out=$(tls "$POP3_PORT" "$TLS_CA_FILE" localhost -starttls pop3 -- "USER $user" "PASS $MAIL_PASSWORD" QUIT)
check "STLS on the POP3 port, verified, and a login" has "^+OK Logged in" "$out"

out=$(tls "$POP3S_PORT" "$TLS_CA_FILE" localhost -- "USER $user" "PASS $MAIL_PASSWORD" QUIT)
check "implicit TLS on the POP3S port, verified, and a login" has "^+OK Logged in" "$out"
out=$(tls "$POP3S_PORT" "$TLS_OTHER_CA_FILE" localhost -- QUIT)
check "the other CA does not verify the POP3S port" test -z "$out"

exit $failed
