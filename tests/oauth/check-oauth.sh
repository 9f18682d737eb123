#!/usr/bin/env bash
# Walks the whole OAuth sign-in against a running mail stack with curl,
# openssl and python3 alone, so that a failing OAuth test of the program
# can be told apart from a stack that is set up wrong:
#
#   check-oauth.sh DIR     DIR as given to mailstack.sh start
#
# The sign-in goes through the stand-in browser (bin/xdg-open) into a small
# loopback listener, as the program's would; the code is exchanged with
# PKCE; the token then logs in by SASL XOAUTH2 and OAUTHBEARER on POP3
# (STLS and pop3s) and on the SMTP submission port (STARTTLS). Then: the
# refresh that rotates the refresh token, the expired token refused with
# the error continuation, a token of 6,000 characters, and the refusals a
# client must be ready for (used code, wrong verifier, empty secret, denied
# or abandoned sign-in).
#
# The checks change the authorization server's settings and expire or
# revoke every token it has issued: ctest runs them alone with the other
# tests of the server (RESOURCE_LOCK oauth_server). The settings are reset
# at the end.
#
# Ends with 0 when every check passes, 1 when one fails (each is listed) and
# 77 when the stack could not run on this machine (ctest counts that as
# skipped).
set -uo pipefail

[ $# -eq 1 ] || { echo "usage: check-oauth.sh DIR" >&2; exit 2; }
# shellcheck source=tests/support/checks.sh
source "$(dirname "$0")/../support/checks.sh"
use_stack "$1"
[ -n "${OAUTH_TOKEN_URL:-}" ] || { echo "the stack in $dir has no authorization server: start it afresh" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
py=python3
[ -x /usr/bin/python3 ] && py=/usr/bin/python3
user=$OAUTH_DEFAULT_USER
other=${MAIL_USERS#*,}
other=${other%%,*}
tmp=$(mktemp -d "${TMPDIR:-/tmp}/zt-oauth-check.XXXXXX")
listener_pid=

# shellcheck disable=SC2317
same() { [ "$1" = "$2" ]; }

# --- HTTP ------------------------------------------------------------------

# A request to the authorization server; prints the status, leaves the body
# in $tmp/body.
request() {
  curl -s --cacert "$TLS_CA_FILE" -o "$tmp/body" -w '%{http_code}' "$@"
}
control() { request -H 'Content-Type: application/json' --data-binary "$1" "$OAUTH_CONTROL_URL" >/dev/null; }
# A field of the JSON in $tmp/body (or in the file given).
field() {
  "$py" -c 'import json, sys
v = json.load(open(sys.argv[2])).get(sys.argv[1], "")
print(json.dumps(v) if isinstance(v, (bool, list, dict)) else v)' "$1" "${2:-$tmp/body}"
}
# A parameter of a URL's query.
param() {
  "$py" -c 'import sys, urllib.parse as u
print(u.parse_qs(u.urlsplit(sys.argv[2]).query).get(sys.argv[1], [""])[0])' "$1" "$2"
}
# The last entry the server logged for an endpoint, as JSON, in $tmp/entry.
last_entry() {
  curl -s --cacert "$TLS_CA_FILE" "$OAUTH_LOG_URL?endpoint=$1" |
    "$py" -c 'import json, sys; print(json.dumps(json.load(sys.stdin)["requests"][-1]))' >"$tmp/entry"
}

# A fresh PKCE pair in verifier and challenge.
new_pkce() {
  verifier=$(head -c 48 /dev/urandom | base64 -w0 | tr '+/' '-_' | tr -d '=')
  challenge=$(printf '%s' "$verifier" | openssl dgst -sha256 -binary | base64 -w0 | tr '+/' '-_' | tr -d '=')
}

# The authorization request straight from curl, without a browser: prints
# the status and where the server redirects to. Extra curl arguments add or
# replace parameters.
authorize() {
  curl -s --cacert "$TLS_CA_FILE" -o /dev/null -w '%{http_code} %{redirect_url}' -G "$OAUTH_AUTHORIZE_URL" \
    --data-urlencode "client_id=${client:-$OAUTH_CLIENT_ID}" --data-urlencode "redirect_uri=$redirect" \
    -d response_type=code --data-urlencode "scope=$OAUTH_SCOPE" -d "state=$state" \
    -d "code_challenge=$challenge" -d code_challenge_method=S256 "$@"
}

# Signs in without a browser and exchanges the code as the public client:
# leaves the token response in $tmp/tokens. Extra arguments go to authorize.
sign_in() {
  new_pkce
  state=s$RANDOM
  redirect=http://127.0.0.1:9/callback
  local reply
  reply=$(authorize "$@")
  request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "${reply#* }")" \
    --data-urlencode "redirect_uri=$redirect" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
    --data-urlencode "code_verifier=$verifier" >/dev/null
  cp "$tmp/body" "$tmp/tokens"
}

# --- mail sessions -----------------------------------------------------------

# A TLS session verified against the test CA for 127.0.0.1; OPTIONS go to
# s_client. The lines (CR LF each, an empty one for an empty response) are
# sent once TLS is up; prints what the server says, CRs removed.
session() {
  local port=$1 options=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  printf '%s\n' "$@" | timeout 15 openssl s_client -quiet -crlf -verify_return_error -CAfile "$TLS_CA_FILE" \
    -verify_ip 127.0.0.1 -connect "127.0.0.1:$port" "${options[@]}" 2>/dev/null | tr -d '\r'
}
pop3s() { session "$POP3S_PORT" -- "$@" QUIT; }
pop3_stls() { session "$POP3_PORT" -starttls pop3 -- "$@" QUIT; }
submission() { session "$SMTP_STARTTLS_PORT" -starttls smtp -- "EHLO check" "$@" QUIT; }

xoauth2() { printf 'user=%s\001auth=Bearer %s\001\001' "$1" "$2" | base64 -w0; }
oauthbearer() {
  printf 'n,a=%s,\001host=127.0.0.1\001port=%s\001auth=Bearer %s\001\001' "$1" "$3" "$2" | base64 -w0
}
# The JSON of the first error continuation ("+ DATA" or "334 DATA") in a
# session's output, decoded.
continuation() {
  sed -n -E 's/^(\+|334) ([A-Za-z0-9+\/=]+)$/\2/p' <<<"$1" | head -n 1 | base64 -d 2>/dev/null
}

# Called by the trap, which shellcheck does not follow.
# shellcheck disable=SC2317
cleanup() {
  control '{"reset": true}'
  [ -z "$listener_pid" ] || kill "$listener_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
control '{"reset": true, "clear_log": true}'

# --- the sign-in, through the stand-in browser -------------------------------

# The program's side: a listener on a free loopback port that takes one
# request, keeps its path and answers with a page.
"$py" - "$tmp/listener" <<'EOF' &
import http.server, os, sys
out = sys.argv[1]
class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(out + ".path", "w") as f:
            f.write(self.path)
        page = b"signed in; this window may be closed"
        self.send_response(200)
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
server.timeout = 20
with open(out + ".port.new", "w") as f:
    f.write(str(server.server_address[1]))
os.replace(out + ".port.new", out + ".port")
server.handle_request()
EOF
listener_pid=$!
for ((i = 0; i < 200; i++)); do [ -f "$tmp/listener.port" ] && break; sleep 0.025; done
new_pkce
state=st-$RANDOM$RANDOM
redirect="http://127.0.0.1:$(cat "$tmp/listener.port")/oauth2/callback"
url=$("$py" -c 'import sys, urllib.parse as u
print(sys.argv[1] + "?" + u.urlencode(dict(zip(sys.argv[2::2], sys.argv[3::2]))))' "$OAUTH_AUTHORIZE_URL" \
  response_type code client_id "$OAUTH_CLIENT_ID" redirect_uri "$redirect" scope "$OAUTH_SCOPE" \
  state "$state" code_challenge "$challenge" code_challenge_method S256)
PATH="$here/bin:$PATH" ZENTAVO_BROWSER_LOG="$tmp/browser.log" SSL_CERT_FILE="$TLS_CA_FILE" xdg-open "$url"
for ((i = 0; i < 400; i++)); do grep -q '^done ' "$tmp/browser.log" 2>/dev/null && break; sleep 0.025; done
wait "$listener_pid"
listener_pid=
check "the stand-in browser logged the URL it was given" same "$(sed -n 's/^open //p' "$tmp/browser.log")" "$url"
check "the stand-in browser followed the redirect to the listener" has "^done 200 $redirect?" "$(cat "$tmp/browser.log")"
callback=$(cat "$tmp/listener.path" 2>/dev/null)
check "the listener got the code" test -n "$(param code "$callback")"
check "the listener got the state back" same "$(param state "$callback")" "$state"
last_entry authorize
check "the server saw the PKCE challenge (S256)" same "$(field code_challenge "$tmp/entry")/$(field code_challenge_method "$tmp/entry")" "$challenge/S256"

status=$(request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "$callback")" \
  --data-urlencode "redirect_uri=$redirect" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
  --data-urlencode "code_verifier=$verifier")
cp "$tmp/body" "$tmp/tokens"
check "the code is exchanged by the public client, without a secret" same "$status" 200
check "the reply is a Bearer token with a lifetime and a refresh token" \
  same "$(field token_type "$tmp/tokens")/$(field expires_in "$tmp/tokens")/$([ -n "$(field refresh_token "$tmp/tokens")" ] && echo yes)" "Bearer/3600/yes"
last_entry token
check "the server verified PKCE and saw no client_secret" \
  same "$(field pkce "$tmp/entry")/$(field client_secret "$tmp/entry")" "verified/absent"
access=$(field access_token "$tmp/tokens")
refresh=$(field refresh_token "$tmp/tokens")

status=$(request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "$callback")" \
  --data-urlencode "redirect_uri=$redirect" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
  --data-urlencode "code_verifier=$verifier")
check "a code is good for one exchange only" same "$status/$(field error)" "400/invalid_grant"

# --- the refusals of the sign-in ---------------------------------------------

new_pkce
state=s1
redirect=http://127.0.0.1:9/callback
reply=$(authorize)
new_pkce
status=$(request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "${reply#* }")" \
  --data-urlencode "redirect_uri=$redirect" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
  --data-urlencode "code_verifier=$verifier")
check "a wrong code_verifier is refused" same "$status/$(field error)" "400/invalid_grant"
last_entry token
check "the server logs the failed PKCE check" same "$(field pkce "$tmp/entry")" failed

new_pkce
reply=$(authorize)
status=$(request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "${reply#* }")" \
  --data-urlencode "redirect_uri=$redirect" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
  --data-urlencode "code_verifier=$verifier" -d client_secret=)
check "an empty client_secret is refused (401 invalid_client)" same "$status/$(field error)" "401/invalid_client"

new_pkce
reply=$(authorize)
status=$(request "$OAUTH_TOKEN_URL" -d grant_type=authorization_code --data-urlencode "code=$(param code "${reply#* }")" \
  --data-urlencode "redirect_uri=http://127.0.0.1:10/callback" --data-urlencode "client_id=$OAUTH_CLIENT_ID" \
  --data-urlencode "code_verifier=$verifier")
check "a redirect_uri other than the authorization request's is refused" same "$status/$(field error)" "400/invalid_grant"

reply=$(redirect=https://example.test/callback authorize)
check "a redirect that is not plain http on loopback is not followed" same "$reply" "400 "
reply=$(challenge='' authorize)
check "a missing PKCE challenge comes back as invalid_request" same "$(param error "${reply#* }")/$(param state "${reply#* }")" "invalid_request/$state"
control '{"authorize": "deny"}'
reply=$(authorize)
check "a denied sign-in comes back as access_denied, with the state" \
  same "${reply%% *}/$(param error "${reply#* }")/$(param state "${reply#* }")" "302/access_denied/$state"
control '{"authorize": "hang"}'
reply=$(authorize)
check "an abandoned sign-in never redirects" same "$reply" "200 "
control '{"authorize": "wrong_state"}'
reply=$(authorize)
check "the wrong_state control answers with another state" test "$(param state "${reply#* }")" != "$state"
control '{"authorize": "approve"}'

# The client with a secret, in the body and by HTTP Basic.
for how in post basic wrong; do
  new_pkce
  reply=$(client=$OAUTH_CLIENT_SECRET_CLIENT_ID authorize)
  code=$(param code "${reply#* }")
  common=(-d grant_type=authorization_code --data-urlencode "code=$code" --data-urlencode "redirect_uri=$redirect"
    --data-urlencode "code_verifier=$verifier")
  case $how in
    post) status=$(request "$OAUTH_TOKEN_URL" "${common[@]}" --data-urlencode "client_id=$OAUTH_CLIENT_SECRET_CLIENT_ID" \
      --data-urlencode "client_secret=$OAUTH_CLIENT_SECRET") ;;
    basic) status=$(request "$OAUTH_TOKEN_URL" "${common[@]}" -u "$OAUTH_CLIENT_SECRET_CLIENT_ID:$OAUTH_CLIENT_SECRET") ;;
    wrong) status=$(request "$OAUTH_TOKEN_URL" "${common[@]}" --data-urlencode "client_id=$OAUTH_CLIENT_SECRET_CLIENT_ID" \
      -d client_secret=wrong) ;;
  esac
  case $how in
    wrong) check "the client with a secret is refused with a wrong one" same "$status/$(field error)" "401/invalid_client" ;;
    *) check "the client with a secret signs in with it ($how)" same "$status" 200 ;;
  esac
done

# --- logging in to the mail servers with the token ----------------------------

out=$(submission QUIT)
check "the submission port offers XOAUTH2 and OAUTHBEARER after STARTTLS" has "^250-AUTH PLAIN LOGIN XOAUTH2 OAUTHBEARER$" "$out"
out=$(pop3s CAPA)
check "POP3 offers XOAUTH2 and OAUTHBEARER" has "^SASL PLAIN LOGIN XOAUTH2 OAUTHBEARER$" "$out"

out=$(pop3_stls "AUTH XOAUTH2 $(xoauth2 "$user" "$access")" STAT)
check "POP3 after STLS: AUTH XOAUTH2" has "^+OK Logged in" "$out"
out=$(pop3s "AUTH XOAUTH2 $(xoauth2 "$user" "$access")")
check "POP3S: AUTH XOAUTH2" has "^+OK Logged in" "$out"
out=$(pop3s "AUTH OAUTHBEARER $(oauthbearer "$user" "$access" "$POP3S_PORT")")
check "POP3S: AUTH OAUTHBEARER" has "^+OK Logged in" "$out"
out=$(submission "AUTH XOAUTH2 $(xoauth2 "$user" "$access")")
check "SMTP after STARTTLS: AUTH XOAUTH2" has "^235 " "$out"
out=$(submission "AUTH OAUTHBEARER $(oauthbearer "$user" "$access" "$SMTP_STARTTLS_PORT")")
check "SMTP after STARTTLS: AUTH OAUTHBEARER" has "^235 " "$out"

out=$(pop3s "AUTH XOAUTH2 $(xoauth2 "$other" "$access")" "")
check "a token is refused for another user" has "^-ERR \[AUTH\]" "$out"
out=$(pop3s "AUTH PLAIN $(printf '\0%s\0%s' "$user" "$access" | base64 -w0)")
check "a token is no password (AUTH PLAIN)" has "^-ERR \[AUTH\]" "$out"
out=$(pop3s "AUTH XOAUTH2 $(xoauth2 "$user" "$MAIL_PASSWORD")" "")
check "a password is no token (AUTH XOAUTH2)" has "^-ERR \[AUTH\]" "$out"
out=$(pop3s "USER $user" "PASS $MAIL_PASSWORD")
check "the password still logs in" has "^+OK Logged in" "$out"

sign_in -d "login_hint=$other"
out=$(pop3s "AUTH XOAUTH2 $(xoauth2 "$other" "$(field access_token "$tmp/tokens")")")
check "login_hint decides whose token it is" has "^+OK Logged in" "$out"

# --- refresh, expiry, revocation ------------------------------------------------

status=$(request "$OAUTH_TOKEN_URL" -d grant_type=refresh_token --data-urlencode "refresh_token=$refresh" \
  --data-urlencode "client_id=$OAUTH_CLIENT_ID")
cp "$tmp/body" "$tmp/refreshed"
check "a refresh gives a new access token" same "$status/$(field token_type "$tmp/refreshed")" "200/Bearer"
check "a refresh rotates the refresh token" \
  test -n "$(field refresh_token "$tmp/refreshed")" -a "$(field refresh_token "$tmp/refreshed")" != "$refresh"
status=$(request "$OAUTH_TOKEN_URL" -d grant_type=refresh_token --data-urlencode "refresh_token=$refresh" \
  --data-urlencode "client_id=$OAUTH_CLIENT_ID")
check "the old refresh token is refused once rotated" same "$status/$(field error)" "400/invalid_grant"
refresh=$(field refresh_token "$tmp/refreshed")
access=$(field access_token "$tmp/refreshed")

# The "status" of the JSON in the server's error continuation.
continuation_status() {
  "$py" -c 'import json, sys; print(json.loads(sys.argv[1])["status"])' "$(continuation "$1")" 2>/dev/null
}

control '{"expire_access_tokens": true}'
status=$(request --data-urlencode "token=$access" "${OAUTH_TOKEN_URL%/token}/introspect")
check "an expired token is inactive for the introspection" same "$status/$(field active)" "200/false"

# Each server and mechanism: the error continuation with its status, then
# the final failure after the client's answer (empty for XOAUTH2, AQ== for
# OAUTHBEARER).
for way in "pop3s $POP3S_PORT ^-ERR.\[AUTH\]" "submission $SMTP_STARTTLS_PORT ^535."; do
  read -r talk port refused <<<"$way"
  out=$("$talk" "AUTH XOAUTH2 $(xoauth2 "$user" "$access")" "")
  check "$talk: an expired token gets the error continuation, status 401" same "$(continuation_status "$out")" 401
  check "$talk: the empty answer to it ends in failure" has "$refused" "$out"
  out=$("$talk" "AUTH OAUTHBEARER $(oauthbearer "$user" "$access" "$port")" "AQ==")
  check "$talk: OAUTHBEARER with an expired token gets status invalid_token" \
    same "$(continuation_status "$out")" invalid_token
  check "$talk: the AQ== answer to it ends in failure" has "$refused" "$out"
done

status=$(request "$OAUTH_TOKEN_URL" -d grant_type=refresh_token --data-urlencode "refresh_token=$refresh" \
  --data-urlencode "client_id=$OAUTH_CLIENT_ID")
cp "$tmp/body" "$tmp/refreshed"
out=$(pop3s "AUTH XOAUTH2 $(xoauth2 "$user" "$(field access_token "$tmp/refreshed")")")
check "after expiry, a refresh gives a token that logs in again" has "^+OK Logged in" "$out"

control '{"revoke_refresh_tokens": true}'
status=$(request "$OAUTH_TOKEN_URL" -d grant_type=refresh_token \
  --data-urlencode "refresh_token=$(field refresh_token "$tmp/refreshed")" --data-urlencode "client_id=$OAUTH_CLIENT_ID")
check "a revoked refresh token is refused" same "$status/$(field error)" "400/invalid_grant"

control '{"expires_in": 120}'
sign_in
check "the lifetime of new tokens follows the control" same "$(field expires_in "$tmp/tokens")" 120

# --- a large token ------------------------------------------------------------

# 6,000 characters: the XOAUTH2 response is then 8,052 base64 characters.
# Dovecot's login process takes SASL responses below 8,192 characters
# (tokens up to 6,104 characters for this user), so the response goes on a
# line of its own; Postfix takes AUTH command lines of 2,048 characters at
# most, and responses of up to 12,288 after a 334.
control '{"token_size": 6000}'
sign_in
big=$(field access_token "$tmp/tokens")
check "the token size follows the control" same "${#big}" 6000
out=$(pop3s "AUTH XOAUTH2" "$(xoauth2 "$user" "$big")")
check "POP3S: a 6,000-character token, XOAUTH2 response after '+ '" has "^+OK Logged in" "$out"
out=$(pop3_stls "AUTH OAUTHBEARER" "$(oauthbearer "$user" "$big" "$POP3_PORT")")
check "POP3 after STLS: a 6,000-character token, OAUTHBEARER response after '+ '" has "^+OK Logged in" "$out"
out=$(submission "AUTH XOAUTH2" "$(xoauth2 "$user" "$big")")
check "SMTP: a 6,000-character token, XOAUTH2 response after 334" has "^235 " "$out"
out=$(submission "AUTH OAUTHBEARER" "$(oauthbearer "$user" "$big" "$SMTP_STARTTLS_PORT")")
check "SMTP: a 6,000-character token, OAUTHBEARER response after 334" has "^235 " "$out"
last_entry introspect
check "the introspection saw the whole token" same "$(field token_size "$tmp/entry")/$(field active "$tmp/entry")" "6000/true"

status=$(request "$OAUTH_HTTP_BASE_URL/control")
check "the same server answers in plain HTTP" same "$status" 200

exit $failed
