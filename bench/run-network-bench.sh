#!/usr/bin/env bash
# Every benchmark in one run, against the test mail stack, which this script
# starts and stops itself (it needs root, as the stack does). Not a test;
# CI does not run it. The mail goes through a relay that holds every chunk
# DELAY_MS (20) each way, so the sessions meet a round trip of 40 ms:
#
#  1. sending: one notice to 3,000 addressed recipients (100 messages of 30
#     blind copies, one SMTP session each, as the send run does) with the
#     program's SMTP session, against the least time the conversation can
#     take, and msmtp with the same messages over the same relay;
#  2. receiving: 1,000 staff replies by the reception run, against curl
#     fetching the same over the same relay (one RETR per round trip);
#  3. the peak memory of a reception run listing those 1,000 replies with
#     their bodies shown;
#  4. the start-up with 10,000 staff and a history of 5,000 notices with
#     their reply rates, recording 1,000 replies, and sorting a list of
#     10,000 rows (Google Benchmark).
#
#   bench/run-network-bench.sh [MESSAGES [BATCH [REPLIES]]]
set -euo pipefail
cd "$(dirname "$0")/.."

messages=${1:-100}
batch=${2:-30}
replies=${3:-1000}
delay=${DELAY_MS:-20}
build=${BUILD_DIR:-build-bench}

for tool in curl iconv msmtp; do
  command -v $tool >/dev/null || { echo "$tool is not installed (scripts/install-deps.sh test)" >&2; exit 1; }
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTAVO_TESTS=OFF >/dev/null
ninja -C "$build" --quiet network_bench reply_tracking_bench grid_sort_bench
bench=$build/bench

stack=/tmp/zt-bench-$$
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  tests/mailstack/mailstack.sh stop "$stack"
}
tests/mailstack/mailstack.sh start "$stack"
trap cleanup EXIT
[ -f "$stack/env" ] || { cat "$stack/unavailable" >&2; exit 1; }
# shellcheck disable=SC1091
source "$stack/env"
work=$stack/bench
mkdir -p "$work/sent" "$work/program"

# relay PORT NAME: a delaying relay to the stack's PORT; its port in $NAME.
relay() {
  "$bench/network_bench" relay 127.0.0.1 "$1" "$delay" "$work/$2.port" &
  pids+=($!)
  for ((i = 0; i < 100; i++)); do [ -s "$work/$2.port" ] && break; sleep 0.05; done
  printf -v "$2" '%s' "$(cat "$work/$2.port")"
}
relay "$SMTP_PORT" smtp_relay
relay "$POP3_PORT" pop3_relay
rtt=$(awk -v d="$delay" 'BEGIN { print 2 * d / 1000 }')

jis() { printf '%s' "$1" | iconv -f UTF-8 -t ISO-2022-JP; }
office=${MAIL_USERS%%,*}

echo "== 1. sending $((messages * batch)) recipients in $messages sessions, ${delay} ms each way"
# The notice's messages, a few dozen lines of ISO-2022-JP text each, and
# their recipients, all of the domain that Postfix takes and discards.
line=$(jis 'これはテストの書き込みです。')
for ((n = 1; n <= messages; n++)); do
  name=$work/sent/$(printf %03d "$n")
  {
    printf 'From: %s\r\nSubject: MailNo1000_bench %03d\r\nDate: Sun, 06 Dec 2026 09:00:00 +0900\r\n' "$office" "$n"
    printf 'Message-ID: <bench-%d@%s>\r\nMIME-Version: 1.0\r\n' "$n" "$MAIL_DOMAIN"
    printf 'Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n'
    for ((i = 0; i < 30; i++)); do printf '%s line %d\r\n' "$line" "$i"; done
    printf '.\r\n\r\nSEND:2026/12/06 09:00:00\r\n'
  } >"$name.eml"
  for ((r = 1; r <= batch; r++)); do printf 'r%04d@%s\n' $(((n - 1) * batch + r)) "$BENCH_DOMAIN"; done >"$name.rcpt"
done
"$bench/network_bench" send "$SMTP_HOST" "$smtp_relay" "$office" "$MAIL_PASSWORD" "$office" "$work/sent" |
  tee "$work/send.out"
sent=$(sed -n 's/^send_seconds=//p' "$work/send.out")
cat >"$work/msmtprc" <<MSMTP
account bench
host $SMTP_HOST
port $smtp_relay
auth login
user $office
password $MAIL_PASSWORD
tls off
from $office
MSMTP
chmod 600 "$work/msmtprc"
start=$(date +%s%N)
for eml in "$work/sent"/*.eml; do
  mapfile -t rcpt <"${eml%.eml}.rcpt"
  msmtp -C "$work/msmtprc" -a bench -- "${rcpt[@]}" <"$eml"
done
msmtp_s=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
echo "msmtp over the same relay: $msmtp_s s"
# Both must have reached the server whole: every recipient, accepted and
# discarded by Postfix.
expected=$((2 * messages * batch))
for ((i = 0; i < 600; i++)); do
  got=$(grep -c "to=<r[0-9]*@$BENCH_DOMAIN>.*status=sent" "$stack/log/postfix.log" || true)
  [ "$got" -ge "$expected" ] && break
  sleep 0.1
done
echo "recipients accepted by the server: $got of $expected"
[ "$got" -ge "$expected" ]
# The least time: each session its own, as the send run has it. Round trips
# of one session: the greeting half of one (the connection to the relay is
# local), EHLO, AUTH LOGIN's three (the stack's plain port offers PLAIN and
# LOGIN, and in clear the program logs in with LOGIN), the envelope (RSET,
# MAIL FROM and the 30 RCPT TO in one pipelined write), DATA, the message
# and QUIT: 8.5. RFC 2920 would also let DATA end the envelope's group and
# QUIT follow the message, and AUTH PLAIN takes one round trip: 4.5 at
# the very least, which the program does not aim for (a refused recipient
# must never meet an accepted DATA, and a refused message is followed by
# RSET).
awk -v s="$sent" -v m="$messages" -v r="$rtt" -v ms="$msmtp_s" 'BEGIN {
  bound = m * 8.5 * r; least = m * 4.5 * r
  printf "bound: %d sessions x 8.5 round trips x %.0f ms = %.3f s\n", m, 1000 * r, bound
  printf "ratio sending / bound: %.2f (goal: at most 1.20); / the 4.5-round-trip least: %.2f; / msmtp: %.2f\n",
         s / bound, s / least, s / ms
}'

echo "== 2. receiving $replies replies, ${delay} ms each way"
# The replies, written into the maildir as Postfix would have delivered
# them: staff1 to staff5 in turn answering notice 1000 in ISO-2022-JP, the
# notice quoted below the answer.
user=reader@$MAIL_DOMAIN
box=$MAILDIR_ROOT/reader
subject=$(jis 'Re: MailNo1000_職員会議の日程変更' | base64 -w0)
body="$(jis '了解しました。出席します。')"$'\n\n'
for ((i = 1; i <= 30; i++)); do body+="> $(jis "会議は第${i}会議室で行います。資料は各自でご用意ください。")"$'\n'; done
for ((i = 1; i <= replies; i++)); do
  s=staff$((i % 5 + 1))@$MAIL_DOMAIN
  printf 'Return-Path: <%s>\nDelivered-To: %s\nFrom: %s\nTo: %s\nSubject: =?ISO-2022-JP?B?%s?=\nDate: Sun, 06 Dec 2026 10:%02d:%02d +0900\nMessage-ID: <reply-%d@%s>\nMIME-Version: 1.0\nContent-Type: text/plain; charset=ISO-2022-JP\nContent-Transfer-Encoding: 7bit\n\n%s' \
    "$s" "$user" "$s" "$user" "$subject" $((i / 60 % 60)) $((i % 60)) "$i" "$MAIL_DOMAIN" "$body" \
    >"$box/new/$i.bench"
done
chown -R --reference="$box" "$box/new"
# Dovecot takes the new mail into its index at the first login: neither
# side's time should hold that.
curl -sS -u "$user:$MAIL_PASSWORD" "pop3://$POP3_HOST:$POP3_PORT/" >/dev/null

run=''
for ((r = 1; r <= 3; r++)); do
  rm -rf "${work:?}/program"/*
  "$bench/network_bench" receive "$POP3_HOST" "$pop3_relay" "$user" "$MAIL_PASSWORD" "$MAIL_DOMAIN" "$work/program" |
    tee "$work/receive.out"
  took=$(sed -n 's/^run_seconds=//p' "$work/receive.out")
  run=$(awk -v a="$run" -v b="$took" 'BEGIN { print (a == "" || b < a) ? b : a }')
done
start=$(date +%s%N)
curl -sS -u "$user:$MAIL_PASSWORD" "pop3://$POP3_HOST:$pop3_relay/[1-$replies]" >"$work/curl.out"
curl_s=$(awk -v ns=$(($(date +%s%N) - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
printf 'curl over the same relay: %d bytes, %.3f s\n' "$(stat -c %s "$work/curl.out")" "$curl_s"
awk -v r="$run" -v c="$curl_s" 'BEGIN {
  printf "reception run (best of 3) %.3f s (goal: under 2 s), curl %.3f s, ratio run / curl: %.3f\n", r, c, r / c
}'

echo "== 3. peak memory of a reception run listing $replies replies with their bodies"
rm -rf "${work:?}/program"/*
"$bench/network_bench" receive "$POP3_HOST" "$POP3_PORT" "$user" "$MAIL_PASSWORD" "$MAIL_DOMAIN" "$work/program" bodies |
  tee "$work/memory.out"
awk -v k="$(sed -n 's/^peak_kib=//p' "$work/memory.out")" 'BEGIN {
  printf "peak memory: %.1f MiB (goal: under 150 MiB)\n", k / 1024
}'

echo "== 4. start-up (goal: under 1 s), reply tracking and sorting"
"$bench/reply_tracking_bench"
"$bench/grid_sort_bench"
