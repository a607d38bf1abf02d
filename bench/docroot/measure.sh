#!/bin/sh
# Runs inside the benchmark's network namespace.
set -eu
build=$1
dir=$(mktemp -d)
trap 'kill $(cat "$dir/nginx.pid" 2>/dev/null) $server 2>/dev/null; rm -rf "$dir"' EXIT
mkdir -p "$dir/www" "$dir/nginx"
head -c 2048 /dev/urandom | base64 > "$dir/www/small.txt"
printf 'port = 8765;\ntmp_dir = "./tmp/";\ndocroot = "./www/";\n' > "$dir/config.cfg"

(cd "$dir" && exec "$build/stavenor/stavenor") &
server=$!

cat > "$dir/nginx/nginx.conf" <<CONF
pid $dir/nginx.pid;
error_log $dir/nginx/error.log;
events {}
http {
    access_log off;
    server { listen 127.0.0.1:8080; root $dir/www; }
}
CONF
nginx -c "$dir/nginx/nginx.conf" -p "$dir/nginx"
sleep 1

rate() { wrk -t2 -c64 -d"${DURATION:-5}s" "$1" | awk '/Requests\/sec/ {print $2}'; }
ours=$(rate http://127.0.0.1:8765/small.txt)
theirs=$(rate http://127.0.0.1:8080/small.txt)
echo "stavenor: $ours requests/s"
echo "nginx:    $theirs requests/s"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio stavenor/nginx: %.2f\n", a / b }'
