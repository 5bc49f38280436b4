#!/usr/bin/env bash
# Decrypts a registration query with the openssl command line alone, step by step as the
# module documents it (modules/registration/reg_query.h):
#   decrypt_query.sh PASSWORD_FILE QUERY_HEX   -> prints "model&serial"
set -euo pipefail
password=$1
query=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
hex() { xxd -p -c 1000; }

printf %s "${query:0:16}" | xxd -r -p >"$tmp/salt"
printf %s "${query:16}" | xxd -r -p >"$tmp/cipher"
cat "$password" "$tmp/salt" | openssl dgst -sha1 -binary >"$tmp/h1"
h1=$(hex <"$tmp/h1")

# CryptDeriveKey: H1 XORed into 64 bytes of 0x36 and of 0x5C, each hashed; the key is the
# first 24 bytes of the two hashes together.
block() {
  local fill=$1 i b out=""
  for i in $(seq 0 63); do
    b=$((0x$fill))
    [ "$i" -lt 20 ] && b=$((b ^ 0x${h1:$((2 * i)):2}))
    out+=$(printf %02x "$b")
  done
  printf %s "$out" | xxd -r -p | openssl dgst -sha1 -binary | hex
}
key=$(printf %s "$(block 36)$(block 5c)" | cut -c1-48)
iv=$(cat "$tmp/h1" "$password" "$tmp/salt" | openssl dgst -sha1 -binary | hex | cut -c25-40)
openssl enc -d -des-ede3-cbc -K "$key" -iv "$iv" -in "$tmp/cipher"
