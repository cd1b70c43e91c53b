#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests and the benchmark, kept whole in
# one folder.
#
#   scripts/testserver.sh start DIR [--tls]   create (first time) and start the server in DIR
#   scripts/testserver.sh stop DIR            stop it; nothing to do when it is not running
#   scripts/testserver.sh restart DIR         stop and start again, same cluster and settings
#   scripts/testserver.sh psql DIR [ARGS...]  psql as maestra on the socket, database nozioli
#
# The cluster lives in DIR/data, the server's log in DIR/server.log, the output
# of initdb and of the certificate tools in DIR/setup.log. The server listens
# only on a Unix socket in DIR; with --tls also on 127.0.0.1 at a free port,
# where it accepts TLS connections only (certificates in DIR/tls/, ca.crt is the
# authority to verify them with).
#
# Roles: "maestra" is the superuser and connects on the socket without a
# password; any other role needs its password (SCRAM), on the socket and on TCP.
#
# start and restart print, one per line:
#   uri=postgresql://maestra@/nozioli?host=DIR&port=PORT
#   socket=DIR
#   port=PORT                (5432 without --tls)
#   tcpuri=postgresql://localhost:PORT/nozioli   (--tls only)
#   ca=DIR/tls/ca.crt                            (--tls only)
#
# Run as root, the server runs as the "postgres" system user (or
# "nozioli-test", created when there is no "postgres"): PostgreSQL refuses to
# run as root.
set -euo pipefail

usage() {
    echo "uso: $0 start CARTELLA [--tls] | stop CARTELLA | restart CARTELLA | psql CARTELLA [ARGOMENTI...]" >&2
    exit 2
}
die() {
    echo "testserver: $*" >&2
    exit 1
}

[ $# -ge 2 ] || usage
command=$1
dir=$2
shift 2

tls=false
case "$command" in
    start)
        if [ "${1:-}" = --tls ]; then tls=true; shift; fi
        [ $# -eq 0 ] || usage
        ;;
    stop|restart) [ $# -eq 0 ] || usage ;;
    psql) ;;
    *) usage ;;
esac

# The newest PostgreSQL of Debian's packages.
bindir=
for candidate in /usr/lib/postgresql/15/bin $(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V -r); do
    if [ -x "$candidate/pg_ctl" ] && [ -x "$candidate/initdb" ]; then
        bindir=$candidate
        break
    fi
done
[ -n "$bindir" ] || die "nessun PostgreSQL in /usr/lib/postgresql/*/bin (pacchetto postgresql-15)"

check_folder() {
    local LC_ALL=C # byte lengths
    # The folder goes unquoted into the server's settings and into URIs.
    case "$1" in
        *[\'\",\\[:space:]]*) die "la cartella $1 contiene caratteri non ammessi (spazi, virgolette, virgole, \\)" ;;
    esac
    # A socket's path holds at most 107 bytes: DIR/.s.PGSQL.PORT.
    [ ${#1} -le 92 ] || die "il percorso $1 è troppo lungo per il socket del server (al massimo 92 caratteri)"
}

case "$dir" in
    /*) check_folder "$dir" ;;
    *) check_folder "$PWD/$dir" ;;
esac
if [ "$command" = start ]; then
    mkdir -p "$dir"
elif [ "$command" = stop ] && [ ! -d "$dir" ]; then
    exit 0
fi
[ -d "$dir" ] || die "la cartella $dir non esiste"
dir=$(cd "$dir" && pwd -P)
check_folder "$dir"
data=$dir/data
conf=$data/testserver.conf
log=$dir/server.log

# Runs a command as the server's user: as is, unless we are root.
server_user=
as_server() {
    if [ -n "$server_user" ]; then
        runuser -u "$server_user" -- "$@"
    else
        "$@"
    fi
}

# The user that runs the server when we are root: the owner of an existing
# cluster, else postgres, else nozioli-test (created here).
pick_server_user() {
    [ "$(id -u)" -eq 0 ] || return 0
    if [ -d "$data" ]; then
        server_user=$(stat -c %U "$data")
        return 0
    fi
    if id -u postgres >/dev/null 2>&1; then
        server_user=postgres
    else
        server_user=nozioli-test
        if ! id -u "$server_user" >/dev/null 2>&1; then
            # Another test may be creating it at the same moment.
            useradd --system --user-group --no-create-home --home-dir /nonexistent \
                --shell /usr/sbin/nologin "$server_user" 2>/dev/null ||
                id -u "$server_user" >/dev/null 2>&1 ||
                die "non riesco a creare l'utente di sistema $server_user"
        fi
    fi
    chown "$server_user:" "$dir"
    chmod 0755 "$dir"
    runuser -u "$server_user" -- test -w "$dir" -a -x "$dir" ||
        die "l'utente $server_user non raggiunge la cartella $dir: una cartella superiore gli è chiusa"
}

setting() { # NAME: the value of NAME in the settings written at creation
    sed -n "s/^$1 = '\{0,1\}\([^']*\)'\{0,1\}$/\1/p" "$conf" | tail -n 1
}

percent_encode() {
    local LC_ALL=C s=$1 out='' c i
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        case "$c" in
            [A-Za-z0-9._~/-]) out+=$c ;;
            *) out+=$(printf '%%%02X' "'$c") ;;
        esac
    done
    printf '%s' "$out"
}

running() {
    [ -f "$data/postmaster.pid" ] && as_server "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1
}

# The certificate authority and the server's certificate (localhost,
# 127.0.0.1), valid for a month.
make_certificates() {
    local t=$dir/tls
    mkdir -p "$t"
    chmod 0700 "$t"
    {
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 \
            -subj "/CN=Nozioli test CA" -keyout "$t/ca.key" -out "$t/ca.crt" \
            -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
        openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
            -subj "/CN=localhost" -keyout "$t/server.key" -out "$t/server.csr"
        printf '%s\n' "subjectAltName=DNS:localhost,IP:127.0.0.1" "basicConstraints=CA:FALSE" \
            "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" > "$t/server.ext"
        openssl x509 -req -in "$t/server.csr" -CA "$t/ca.crt" -CAkey "$t/ca.key" -CAcreateserial \
            -days 30 -extfile "$t/server.ext" -out "$t/server.crt"
    } >> "$dir/setup.log" 2>&1 || die "non riesco a creare i certificati (registro: $dir/setup.log)"
    rm -f "$t/server.csr" "$t/server.ext" "$t/ca.srl"
    chmod 0600 "$t/ca.key" "$t/server.key"
    chmod 0644 "$t/ca.crt" "$t/server.crt"
    chmod 0755 "$t"
    [ -z "$server_user" ] || chown -R "$server_user:" "$t"
}

# A new cluster: initdb, then our settings and access rules.
create_cluster() {
    # --no-sync: a crash of the machine loses the whole throw-away cluster
    # anyway; the running server does sync (fsync = on below).
    (cd "$dir" && as_server "$bindir/initdb" -D "$data" -U maestra --auth=trust -E UTF8 \
        --locale=C.UTF-8 --no-sync) >> "$dir/setup.log" 2>&1 ||
        die "initdb non è riuscito (registro: $dir/setup.log)"

    local port=5432 listen=
    if $tls; then
        make_certificates
        listen=127.0.0.1
        port=$((20000 + RANDOM % 30000))
    fi
    {
        echo "listen_addresses = '$listen'"
        echo "unix_socket_directories = '$dir'"
        echo "port = $port"
        echo "max_connections = 60"
        echo "fsync = on"
        echo "synchronous_commit = on"
        echo "full_page_writes = on"
        echo "log_min_messages = warning"
        if $tls; then
            echo "ssl = on"
            echo "ssl_cert_file = '$dir/tls/server.crt'"
            echo "ssl_key_file = '$dir/tls/server.key'"
        fi
    } | as_server tee "$conf" >/dev/null
    echo "include 'testserver.conf'" | as_server tee -a "$data/postgresql.conf" >/dev/null
    {
        echo "local all maestra trust"
        echo "local all all scram-sha-256"
        if $tls; then
            echo "hostssl all all 127.0.0.1/32 scram-sha-256"
            echo "hostnossl all all 127.0.0.1/32 reject"
        fi
    } | as_server tee "$data/pg_hba.conf" >/dev/null
}

# Starts the server. With TCP, a port that another program took meanwhile is
# replaced by another one, up to 20 times.
launch() {
    local size
    for _ in $(seq 1 20); do
        size=$(stat -c %s "$log" 2>/dev/null || echo 0)
        if (cd "$dir" && as_server "$bindir/pg_ctl" -D "$data" -l "$log" -w -t 60 start >/dev/null 2>&1); then
            return 0
        fi
        if [ -n "$(setting listen_addresses)" ] &&
            tail -c +$((size + 1)) "$log" 2>/dev/null | grep -q 'could not create any TCP/IP sockets'; then
            as_server sed -i "s/^port = .*/port = $((20000 + RANDOM % 30000))/" "$conf"
            continue
        fi
        break
    done
    echo "testserver: il server non è partito; ultime righe di $log:" >&2
    tail -n 20 "$log" >&2 2>/dev/null || true
    exit 1
}

run_psql() {
    "$bindir/psql" -h "$dir" -p "$(setting port)" -U maestra -d nozioli -v ON_ERROR_STOP=1 -X -q "$@"
}

print_info() {
    local port host
    port=$(setting port)
    host=$(percent_encode "$dir")
    echo "uri=postgresql://maestra@/nozioli?host=$host&port=$port"
    echo "socket=$dir"
    echo "port=$port"
    if [ "$(setting ssl)" = on ]; then
        echo "tcpuri=postgresql://localhost:$port/nozioli"
        echo "ca=$dir/tls/ca.crt"
    fi
}

start() {
    pick_server_user
    if [ ! -f "$data/PG_VERSION" ]; then
        [ ! -e "$data" ] || die "$data esiste ma non è un cluster PostgreSQL"
        create_cluster
    fi
    running || launch
    # The database is made once, on the first start.
    if [ ! -f "$dir/.created" ]; then
        "$bindir/createdb" -h "$dir" -p "$(setting port)" -U maestra -O maestra nozioli ||
            die "non riesco a creare il database nozioli"
        touch "$dir/.created"
    fi
    print_info
}

stop() {
    [ -f "$data/PG_VERSION" ] || return 0
    pick_server_user
    if running; then
        (cd "$dir" && as_server "$bindir/pg_ctl" -D "$data" -m fast -w -t 60 stop >/dev/null) ||
            die "il server in $dir non si è fermato"
    fi
}

case "$command" in
    start) start ;;
    stop) stop ;;
    restart)
        [ -f "$data/PG_VERSION" ] || die "nessun server in $dir: prima testserver.sh start"
        stop
        start
        ;;
    psql)
        [ -f "$conf" ] || die "nessun server in $dir: prima testserver.sh start"
        run_psql "$@"
        ;;
esac
