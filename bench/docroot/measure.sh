#!/bin/sh
# Runs inside the benchmark's network namespace. stavenor and nginx, set up as a user would run it
# (a worker per core, sendfile, keep-alive), serve the same files; wrk drives one after the other,
# round after round, so that the load of the machine falls on both alike.
set -eu
build=$1
duration=${DURATION:-4}
rounds=${ROUNDS:-3}
threads=${THREADS:-4}
connections=${CONNECTIONS:-64}
dir=$(mktemp -d)
server=""
trap 'kill $(cat "$dir/nginx.pid" 2>/dev/null) $server 2>/dev/null; rm -rf "$dir"' EXIT
# nginx's workers run as an unprivileged user: they must be able to read the files.
chmod 755 "$dir"
mkdir -p "$dir/www" "$dir/nginx"
head -c 1536 /dev/urandom | base64 -w0 > "$dir/www/small.txt"
head -c 4194304 /dev/urandom > "$dir/www/large.bin"
printf 'port = 8765;\ntmp_dir = "./tmp/";\ndocroot = "./www/";\n' > "$dir/config.cfg"

(cd "$dir" && exec "$build/stavenor/stavenor") &
server=$!

cat > "$dir/nginx/nginx.conf" <<CONF
worker_processes auto;
pid $dir/nginx.pid;
error_log $dir/nginx/error.log;
events { worker_connections 1024; }
http {
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 65;
    keepalive_requests 100000;
    access_log off;
    server { listen 127.0.0.1:8080; root $dir/www; }
}
CONF
nginx -c "$dir/nginx/nginx.conf" -p "$dir/nginx"

# Both must serve every file whole before anything is measured.
for port in 8765 8080; do
    for file in small.txt large.bin; do
        tries=0
        until curl -sf -o "$dir/got" "http://127.0.0.1:$port/$file" && cmp -s "$dir/got" "$dir/www/$file"; do
            tries=$((tries + 1))
            [ "$tries" -lt 100 ] || { echo "port $port does not serve $file" >&2; exit 1; }
            sleep 0.1
        done
    done
done

nginx_workers=$(pgrep -P "$(cat "$dir/nginx.pid")" | tr '\n' ' ')
# CPU time (user and system, clock ticks) the processes have used so far.
ticks() {
    for pid; do cat "/proc/$pid/stat"; done | awk '{ t += $14 + $15 } END { print t }'
}

# Requests per second of one run and the server's CPU time per request in microseconds; a run
# with socket errors or refused requests measures nothing. On a busy machine the rate follows the
# share of CPU each side gets, the CPU time per request much less so.
rate() {
    url=$1
    shift
    before=$(ticks "$@")
    out=$(timeout $((duration + 30)) wrk -t"$threads" -c"$connections" -d"${duration}s" "$url")
    after=$(ticks "$@")
    if echo "$out" | grep -q -e 'Socket errors' -e 'Non-2xx'; then
        echo "$out" >&2
        exit 1
    fi
    echo "$out" | awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" \
        '/requests in/ { n = $1 } /Requests\/sec/ { r = $2 } END { printf "%s %.1f", r, t * 1e6 / hz / n }'
}

# Prints each round and the median of the rounds' ratios stavenor/nginx.
compare() {
    file=$1 size=$2 unit=$3
    ratios=""
    round=1
    while [ "$round" -le "$rounds" ]; do
        ours=$(rate "http://127.0.0.1:8765/$file" "$server")
        theirs=$(rate "http://127.0.0.1:8080/$file" $nginx_workers)
        line=$(awk -v a="${ours% *}" -v b="${theirs% *}" -v s="$size" -v u="$unit" 'BEGIN {
            if (u == "GB/s") printf "%.2f %.2f %.3f", a * s / 1e9, b * s / 1e9, a / b
            else printf "%.0f %.0f %.3f", a, b, a / b }')
        set -- $line
        echo "  $file round $round: stavenor $1 $unit (${ours#* } us CPU/request)," \
            "nginx $2 $unit (${theirs#* } us CPU/request), ratio $3"
        ratios="$ratios $3"
        round=$((round + 1))
    done
    echo "$ratios" | tr ' ' '\n' | grep . | sort -n |
        awk -v f="$file" '{ r[NR] = $1 } END { printf "ratio stavenor/nginx (%s, median of %d): %.2f\n", f, NR, r[int((NR + 1) / 2)] }'
}

echo "nginx: worker_processes auto ($(nproc) cores), sendfile, keep-alive; wrk -t$threads -c$connections -d${duration}s"
compare small.txt 2048 requests/s
compare large.bin 4194304 GB/s
