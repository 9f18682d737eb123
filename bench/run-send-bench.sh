#!/usr/bin/env bash
# Sends one notice to 3,000 addressed recipients (100 messages of 30
# blind-copy recipients) through the test mail stack twice in one run:
# first with the program's SMTP session (PocoSmtpTransport), then the very
# same messages and recipient lists with msmtp, one msmtp call per message.
# Prints both times and their ratio. Needs root (the stack does); not a
# test, and CI does not run it.
#
#   bench/run-send-bench.sh [MESSAGES [BATCH]]
set -euo pipefail
cd "$(dirname "$0")/.."

messages=${1:-100}
batch=${2:-30}
build=${BUILD_DIR:-build-bench}

command -v msmtp >/dev/null || { echo "msmtp is not installed (scripts/install-deps.sh)" >&2; exit 1; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZENTAVO_TESTS=OFF >/dev/null
ninja -C "$build" send_bench >/dev/null

stack=/tmp/zt-bench-$$
tests/mailstack/mailstack.sh start "$stack"
trap 'tests/mailstack/mailstack.sh stop "$stack"' EXIT
# shellcheck disable=SC1091
source "$stack/env"
office=${MAIL_USERS%%,*}
work=$stack/bench
mkdir "$work"

"$build/bench/send_bench" "$stack/env" "$work" "$messages" "$batch" | tee "$work/poco.out"
poco=$(sed -n 's/^poco_seconds=//p' "$work/poco.out")

cat >"$work/msmtprc" <<EOF
account bench
host $SMTP_HOST
port $SMTP_PORT
auth login
user $office
password $MAIL_PASSWORD
tls off
from $office
EOF
chmod 600 "$work/msmtprc"

start=$(date +%s%N)
for eml in "$work"/*.eml; do
  mapfile -t rcpt <"${eml%.eml}.rcpt"
  msmtp -C "$work/msmtprc" -a bench -- "${rcpt[@]}" <"$eml"
done
end=$(date +%s%N)
msmtp_s=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.6f", ns / 1e9 }')
printf 'msmtp: %d messages, %d recipients, %.3f s\n' "$messages" $((messages * batch)) "$msmtp_s"

# Both runs must have reached the server whole: every recipient of both,
# accepted and discarded by Postfix.
expected=$((2 * messages * batch))
for ((i = 0; i < 600; i++)); do
  got=$(grep -c "to=<r[0-9]*@$BENCH_DOMAIN>.*status=sent" "$stack/log/postfix.log" || true)
  [ "$got" -ge "$expected" ] && break
  sleep 0.1
done
echo "recipients accepted by the server: $got of $expected"
[ "$got" -ge "$expected" ] || exit 1

awk -v p="$poco" -v m="$msmtp_s" 'BEGIN {
  printf "ratio PocoSmtpTransport / msmtp: %.2f (%s per message: %.1f ms vs %.1f ms)\n",
         p / m, "time", 1000 * p / '"$messages"', 1000 * m / '"$messages"'
}'
