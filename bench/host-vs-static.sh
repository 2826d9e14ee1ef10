#!/usr/bin/env bash
# kyn-host against nginx serving the same bytes as static files, on
# loopback, as whole processes:
#
#   - GET list of 1,000 clips and GET config, at 1 and 8 connections (wrk,
#     the two servers interleaved, ROUNDS rounds): requests/s, p99 and the
#     ratio kyn-host / nginx;
#   - GET list of 10,000 clips with "Accept-Encoding: br, gzip";
#   - one client's GET while 200 event streams are open, and whether every
#     stream receives the next event;
#   - how long SIGTERM takes to end the host with a browser-like client
#     connected (an event stream, an idle keep-alive connection and an
#     unfinished request head).
#
#   scripts/install-deps --bench     # wrk and nginx
#   bench/host-vs-static.sh [BUILD_DIR]
#
# DURATION (wrk's -d, default 5s) and ROUNDS (default 3) tune the run;
# PARTS (default "wrk streams compression sigterm") picks the measurements.
set -euo pipefail

build=${1:-build}
host_exe=$build/kyn-host
duration=${DURATION:-5s}
rounds=${ROUNDS:-3}
parts=" ${PARTS:-wrk streams compression sigterm} "
for tool in wrk nginx curl; do
  command -v "$tool" >/dev/null || { echo "$tool missing: run scripts/install-deps --bench" >&2; exit 1; }
done
[[ -x $host_exe ]] || { echo "$host_exe missing: build first (make build)" >&2; exit 1; }

work=$(mktemp -d /tmp/kyn-host-bench-XXXXXX)
# nginx's workers run as an unprivileged user and must reach the files.
chmod 755 "$work"
host_pid=
nginx_pid=
cleanup() {
  [[ -z $host_pid ]] || kill "$host_pid" 2>/dev/null || true
  [[ -z $nginx_pid ]] || kill "$nginx_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts kyn-host with the given arguments in private directories and sets
# host_pid and host_url.
start_host() {
  local out=$work/host-out.txt
  : >"$out"
  HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
    "$host_exe" --port 0 "$@" >"$out" 2>>"$work/host-err.txt" &
  host_pid=$!
  for _ in $(seq 1 600); do
    host_url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$out" | head -n 1 || true)
    [[ -n $host_url ]] && return 0
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "kyn-host did not start:" >&2
  cat "$work/host-err.txt" >&2
  exit 1
}

stop_host() {
  kill "$host_pid" 2>/dev/null || true
  wait "$host_pid" 2>/dev/null || true
  host_pid=
}

# A folder of N copies of one sample highlight (the demo folder's first).
make_folder() {
  local folder=$1 count=$2
  mkdir -p "$folder"
  seq -f "$folder/clip %05g.webm" 1 "$count" |
    tr '\n' '\0' | xargs -0 sh -c 'tee "$@" <"$0" >/dev/null' "$sample"
}

# "requests/s p99_ms" of one wrk run.
measure() {
  local url=$1 connections=$2
  wrk -t1 -c"$connections" -d"$duration" --latency "$url" |
    awk -v url="$url" '/Non-2xx/ { print "wrk: answers other than 2xx from " url > "/dev/stderr"; exit 1 }
         /Requests\/sec/ { rps = $2 }
         $1 == "99%" { v = $2; ms = v + 0
           if (v ~ /us$/) ms = ms / 1000; else if (v ~ /ms$/) ms = ms; else if (v ~ /s$/) ms = ms * 1000
           p99 = ms }
         END { printf "%.0f %.2f\n", rps, p99 }'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

echo "== preparing folders"
start_host
stop_host
sample=$(ls "$work"/data/kyn-host/demo-highlights/*.webm | head -n 1)
make_folder "$work/clips-1k" 1000
[[ $parts != *" compression "* ]] || make_folder "$work/clips-10k" 10000

start_host --folder "$work/clips-1k"
if [[ $parts == *" wrk "* ]]; then
mkdir -p "$work/www" "$work/nginx/logs"
curl -sf "${host_url}kyn-highlights/v1/highlights" -o "$work/www/list.json"
curl -sf "${host_url}kyn-highlights/v1/config" -o "$work/www/config.json"
echo "list: $(stat -c %s "$work/www/list.json") bytes, config: $(stat -c %s "$work/www/config.json") bytes"

nginx_port=$((20000 + RANDOM % 20000))
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes auto;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  default_type application/json;
  keepalive_requests 1000000;
  server { listen 127.0.0.1:$nginx_port; root $work/www; }
}
EOF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/logs/error.log" &
nginx_pid=$!
for _ in $(seq 1 100); do
  curl -sf "http://127.0.0.1:$nginx_port/config.json" -o /dev/null && break
  sleep 0.05
done
nginx_url="http://127.0.0.1:$nginx_port/"
for file in list.json config.json; do
  cmp -s <(curl -sf "$nginx_url$file") "$work/www/$file" ||
    { echo "nginx does not serve $file as kyn-host does" >&2; exit 1; }
done

echo "== wrk, $duration a run, $rounds rounds, kyn-host and nginx interleaved"
cases=("GET list (1,000 clips)|kyn-highlights/v1/highlights|list.json"
       "GET config|kyn-highlights/v1/config|config.json")
declare -A results
for round in $(seq 1 "$rounds"); do
  for entry in "${cases[@]}"; do
    IFS='|' read -r name host_path static_file <<<"$entry"
    for connections in 1 8; do
      read -r host_rps host_p99 < <(measure "$host_url$host_path" "$connections")
      read -r static_rps static_p99 < <(measure "$nginx_url$static_file" "$connections")
      results["$name|$connections"]+="$host_rps $host_p99 $static_rps $static_p99;"
      printf '  round %d  %-22s c=%d  kyn-host %6s req/s p99 %7s ms | nginx %6s req/s p99 %7s ms\n' \
        "$round" "$name" "$connections" "$host_rps" "$host_p99" "$static_rps" "$static_p99"
    done
  done
done
echo "== medians over the rounds"
for entry in "${cases[@]}"; do
  IFS='|' read -r name _ _ <<<"$entry"
  for connections in 1 8; do
    runs=$(tr ';' '\n' <<<"${results["$name|$connections"]}" | sed '/^$/d')
    host_rps=$(awk '{ print $1 }' <<<"$runs" | median)
    host_p99=$(awk '{ print $2 }' <<<"$runs" | median)
    static_rps=$(awk '{ print $3 }' <<<"$runs" | median)
    static_p99=$(awk '{ print $4 }' <<<"$runs" | median)
    printf '%-22s c=%d  kyn-host %6s req/s p99 %7s ms | nginx %6s req/s p99 %7s ms | ratio %.2fx\n' \
      "$name" "$connections" "$host_rps" "$host_p99" "$static_rps" "$static_p99" \
      "$(awk -v a="$host_rps" -v b="$static_rps" 'BEGIN { print a / b }')"
  done
done
kill "$nginx_pid" 2>/dev/null || true
wait "$nginx_pid" 2>/dev/null || true
nginx_pid=
fi

if [[ $parts == *" streams "* ]]; then
echo "== 200 event streams open, another client's GET"
streams=()
port=${host_url#http://127.0.0.1:}
port=${port%/}
for _ in $(seq 1 200); do
  exec {fd}<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /events HTTP/1.1\r\nHost: 127.0.0.1:%s\r\nAccept: text/event-stream\r\n\r\n' "$port" >&"$fd"
  streams+=("$fd")
done
sleep 1
for _ in 1 2 3; do
  curl -s -o /dev/null --max-time 20 -w 'GET config while 200 streams are open: status %{http_code} after %{time_total} s\n' \
    "${host_url}kyn-highlights/v1/config" || true
done
curl -s -o /dev/null --max-time 20 -X PUT -H 'Content-Type: application/json' \
  --data '{"Enabled": true}' "${host_url}kyn-platform-config/v1/namespaces/Highlights" || true
received=0
deadline=$((SECONDS + 10))
for fd in "${streams[@]}"; do
  while ((SECONDS < deadline)) && IFS= read -r -t 1 -u "$fd" line; do
    if [[ $line == *'"eventType":"Update"'* ]]; then received=$((received + 1)); break; fi
  done || true
  exec {fd}>&-
done
echo "streams that received the next event within 10 s: $received of 200"
fi
stop_host

if [[ $parts == *" compression "* ]]; then
echo "== GET list of 10,000 clips"
start_host --folder "$work/clips-10k"
for encoding in "br, gzip" "gzip" "identity"; do
  times=$(for _ in 1 2 3 4 5; do
    curl -s -o /dev/null --max-time 30 -H "Accept-Encoding: $encoding" \
      -w '%{time_total} %{size_download}\n' "${host_url}kyn-highlights/v1/highlights"
  done)
  printf 'Accept-Encoding: %-9s median %5.0f ms, %s bytes\n' "$encoding" \
    "$(awk '{ print $1 * 1000 }' <<<"$times" | median)" "$(awk 'END { print $2 }' <<<"$times")"
done
stop_host
fi

[[ $parts == *" sigterm "* ]] || exit 0
echo "== SIGTERM with a browser-like client connected"
for attempt in 1 2 3; do
  start_host --folder "$work/clips-1k"
  port=${host_url#http://127.0.0.1:}
  port=${port%/}
  exec {events}<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /events HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n\r\n' "$port" >&"$events"
  exec {idle}<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET /kyn-highlights/v1/config HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n\r\n' "$port" >&"$idle"
  exec {partial}<>"/dev/tcp/127.0.0.1/$port"
  printf 'GET / HTTP/1.1\r\nHost: 127.0.0.1:%s\r\n' "$port" >&"$partial"
  sleep 0.5
  start=$(date +%s%N)
  kill -TERM "$host_pid"
  while kill -0 "$host_pid" 2>/dev/null && (( $(date +%s%N) - start < 10000000000 )); do
    sleep 0.005
    wait -n "$host_pid" 2>/dev/null || true
  done
  end=$(date +%s%N)
  if kill -0 "$host_pid" 2>/dev/null; then
    echo "attempt $attempt: still running after 10 s"
    kill -KILL "$host_pid"
  else
    echo "attempt $attempt: exited $(( (end - start) / 1000000 )) ms after SIGTERM"
  fi
  wait "$host_pid" 2>/dev/null || true
  host_pid=
  exec {events}>&- {idle}>&- {partial}>&-
done
