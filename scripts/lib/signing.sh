# Sourced by the scripts: signing with the build's test maker certificate (osslsigncode). The
# same certificate signs the update packages the tests use (sim/updates/make_packages.py), and
# its thumbprint is the "MakerThumbprint" the installer writes. A real release is signed with
# the maker's own certificate instead; only the files change.

# Makes (once) in DIR a test root (root.pem), the maker's certificate and key (maker.pem,
# maker.key), its thumbprint (maker.thumbprint) and a foreign certificate.
tw_signing_cert() {
  local dir=$1
  [ -s "$dir/maker.pem" ] && [ -s "$dir/maker.key" ] && [ -s "$dir/maker.thumbprint" ] && return 0
  python3 "$(dirname "${BASH_SOURCE[0]}")/../../sim/updates/make_packages.py" pki "$dir"
}

# Signs FILE in place (SHA-256 Authenticode) with the maker's certificate of DIR.
tw_sign() {
  local file=$1 dir=$2
  osslsigncode sign -certs "$dir/maker.pem" -key "$dir/maker.key" -h sha256 -n "Tellwick" \
    -in "$file" -out "$file.signed" >/dev/null || { rm -f "$file.signed"; return 1; }
  mv "$file.signed" "$file"
}

# Checks FILE's signature against the test root of DIR.
tw_sign_verify() {
  osslsigncode verify -CAfile "$2/root.pem" -in "$1" >/dev/null 2>&1
}
