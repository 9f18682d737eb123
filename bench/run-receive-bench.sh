#!/usr/bin/env bash
# Receives 1,000 staff replies from the test mail stack's Dovecot with the
# program (receive_bench: the POP3 session reading each message, then the
# whole reception run) and the very same messages with curl, all in one
# POP3 session too: one curl call over the URL range [1-N], for which curl
# keeps its connection. Each takes the best of ROUNDS tries, in turns.
# Prints the times and their ratios; the goal is the run within 1.3 times
# curl's time. Needs root (the stack does); not a test, and CI does not run
# it.
#
#   bench/run-receive-bench.sh [MESSAGES [ROUNDS]]
set -euo pipefail
cd "$(dirname "$0")/.."

messages=${1:-1000}
rounds=${2:-3}
build=${BUILD_DIR:-build-bench}

for tool in curl iconv; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/install-deps.sh test)" >&2; exit 1; }
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTAVO_TESTS=OFF >/dev/null
ninja -C "$build" --quiet receive_bench

stack=/tmp/zt-bench-$$
tests/mailstack/mailstack.sh start "$stack"
trap 'tests/mailstack/mailstack.sh stop "$stack"' EXIT
# shellcheck disable=SC1091
source "$stack/env"
user=reader@$MAIL_DOMAIN
box=$MAILDIR_ROOT/reader
work=$stack/bench
mkdir -p "$work/program"

# The replies, written into the maildir as Postfix would have delivered
# them: staff1 to staff5 in turn answering notice 1000 in ISO-2022-JP, the
# notice quoted below the answer.
jis() { printf '%s' "$1" | iconv -f UTF-8 -t ISO-2022-JP; }
subject=$(jis 'Re: MailNo1000_職員会議の日程変更' | base64 -w0)
body="$(jis '了解しました。出席します。')"$'\n\n'
for ((i = 1; i <= 30; i++)); do body+="> $(jis "会議は第${i}会議室で行います。資料は各自でご用意ください。")"$'\n'; done
for ((i = 1; i <= messages; i++)); do
  s=staff$((i % 5 + 1))@$MAIL_DOMAIN
  printf 'Return-Path: <%s>\nDelivered-To: %s\nFrom: %s\nTo: %s\nSubject: =?ISO-2022-JP?B?%s?=\nDate: Sun, 06 Dec 2026 10:%02d:%02d +0900\nMessage-ID: <reply-%d@%s>\nMIME-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\nContent-Transfer-Encoding: 7bit\n\n%s' \
    "$s" "$user" "$s" "$user" "$subject" $((i / 60 % 60)) $((i % 60)) "$i" "$MAIL_DOMAIN" "$body" \
    >"$box/new/$i.bench"
done
chown -R --reference="$box" "$box/new"
# Dovecot takes the new mail into its index at the first login: neither
# side's time should hold that.
curl -sS -u "$user:$MAIL_PASSWORD" "pop3://$POP3_HOST:$POP3_PORT/" >/dev/null

best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }
session='' run='' curl_s=''
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/program"/*
  "$build/bench/receive_bench" "$POP3_HOST" "$POP3_PORT" "$user" "$MAIL_PASSWORD" "$MAIL_DOMAIN" \
    "$work/program" | tee "$work/program.out"
  session=$(best "$session" "$(sed -n 's/^session_seconds=//p' "$work/program.out")")
  run=$(best "$run" "$(sed -n 's/^run_seconds=//p' "$work/program.out")")

  start=$(date +%s%N)
  curl -sS -u "$user:$MAIL_PASSWORD" "pop3://$POP3_HOST:$POP3_PORT/[1-$messages]" >"$work/curl.out"
  end=$(date +%s%N)
  took=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.6f", ns / 1e9 }')
  curl_s=$(best "$curl_s" "$took")
  printf 'curl: %d messages, %d bytes, %.3f s\n' "$messages" "$(stat -c %s "$work/curl.out")" "$took"
done

# Both sides must have read the same bytes.
bytes=$(sed -n 's/^bytes=//p' "$work/program.out")
[ "$bytes" = "$(stat -c %s "$work/curl.out")" ] || { echo "the program read $bytes bytes, curl another count" >&2; exit 1; }

awk -v s="$session" -v r="$run" -v c="$curl_s" -v n="$messages" 'BEGIN {
  printf "best of '"$rounds"': session and reading %.3f s, reception run %.3f s, curl %.3f s\n", s, r, c
  printf "ratio session and reading / curl: %.2f\n", s / c
  printf "ratio reception run / curl: %.2f (goal: at most 1.30; %.2f ms vs %.2f ms per message)\n",
         r / c, 1000 * r / n, 1000 * c / n
}'
