#!/usr/bin/env bash
# Starts Hoshiwa from a build folder. When nothing listens on 127.0.0.1:6667 (the window's default
# server, localhost:6667), a private ngircd is started there first, with its configuration, pid
# file and log in <build>/run-ngircd/, and stopped again when the window closes. A Windows build
# (hoshiwa.exe) runs under Wine.
set -euo pipefail

build=${1:?usage: run_hoshiwa.sh <build folder>}
program=("$build/hoshiwa")
if [ ! -x "$build/hoshiwa" ] && [ -f "$build/hoshiwa.exe" ]; then
    program=("$(dirname "$0")/wine_run.sh" "$build/hoshiwa.exe")
fi
folder="$build/run-ngircd"
port=6667

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

if listening; then
    exec "${program[@]}"
fi

ngircd=$(command -v ngircd || echo /usr/sbin/ngircd)
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
# ngircd never runs as root: started by root it changes to nobody, who must write the pid file.
if [ "$(id -u)" -eq 0 ]; then
    user=nobody
    group=$(id -gn nobody)
    chown "$user:$group" "$folder"
else
    user=$(id -u)
    group=$(id -g)
fi
cat >"$folder/ngircd.conf" <<CONF
[Global]
    Name = hoshiwa.localhost
    Info = Hoshiwa's private server
    AdminInfo1 = Hoshiwa's private server for make run
    AdminInfo2 = 127.0.0.1 only
    AdminEMail = nobody@localhost
    Listen = 127.0.0.1
    Ports = $port
    MotdPhrase = Hoshiwa's private server on 127.0.0.1:$port
    PidFile = $folder/ngircd.pid
    ServerUID = $user
    ServerGID = $group

[Options]
    PAM = no
    Ident = no
    DNS = no
CONF
if ! "$ngircd" --configtest --config "$folder/ngircd.conf" >"$folder/configtest.log" 2>&1; then
    echo "ngircd refuses $folder/ngircd.conf; see $folder/configtest.log" >&2
    exit 1
fi

"$ngircd" --nodaemon --passive --config "$folder/ngircd.conf" >"$folder/ngircd.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT

for _ in $(seq 50); do
    listening && break
    if ! kill -0 "$server" 2>/dev/null; then
        echo "ngircd stopped at once; see $folder/ngircd.log" >&2
        exit 1
    fi
    sleep 0.1
done
if ! listening; then
    echo "ngircd does not listen on 127.0.0.1:$port; see $folder/ngircd.log" >&2
    exit 1
fi
echo "ngircd listens on 127.0.0.1:$port until the window closes"

"${program[@]}"
