#!/bin/sh
# Compiles the plain-ASN.1 export of the message modules with Erlang's ASN.1 compiler for
# aligned PER, an independent judge that the modules are valid ASN.1.
#   erlc_compile_export.sh EXPORT_DIR MODULE...   (a module after the modules it imports)
# Exits 77, which the test reports as skipped, when erlc or its ASN.1 application is missing.
set -eu

if ! command -v erlc >/dev/null 2>&1 ||
    ! erl -noshell -eval 'halt(case code:which(asn1ct) of non_existing -> 1; _ -> 0 end).' >/dev/null 2>&1; then
    echo "erlc with the asn1 application not found (Debian package erlang-asn1): skipped"
    exit 77
fi

export_dir=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for module in "$@"; do
    erlc -bper -Werror -o "$work" -I "$work" "$export_dir/$module.asn"
    echo "compiled $module"
done
