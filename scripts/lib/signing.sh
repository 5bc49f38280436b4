# Sourced by the scripts: the build's test code-signing authority and signing with osslsigncode.
# A real release is signed with the maker's certificate instead; only the files change.

# Makes (once) a test root and a code-signing certificate under it in DIR:
# ca.crt, signer.crt and signer.key.
tw_signing_cert() {
  local dir=$1
  [ -s "$dir/signer.crt" ] && [ -s "$dir/signer.key" ] && [ -s "$dir/ca.crt" ] && return 0
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/O=Velmorant Test/CN=Velmorant Test Root" \
    -keyout "$dir/ca.key" -out "$dir/ca.crt" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null || return 1
  openssl req -newkey rsa:2048 -nodes -subj "/O=Velmorant Test/CN=Velmorant Test Code Signing" \
    -keyout "$dir/signer.key" -out "$dir/signer.csr" 2>/dev/null || return 1
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$dir/signer.ext"
  openssl x509 -req -in "$dir/signer.csr" -CA "$dir/ca.crt" -CAkey "$dir/ca.key" -CAcreateserial -days 3650 \
    -extfile "$dir/signer.ext" -out "$dir/signer.crt" 2>/dev/null || return 1
  rm -f "$dir/signer.csr" "$dir/signer.ext"
}

# Signs FILE in place (SHA-256 Authenticode) with the certificate of DIR.
tw_sign() {
  local file=$1 dir=$2
  osslsigncode sign -certs "$dir/signer.crt" -key "$dir/signer.key" -h sha256 -n "Tellwick" \
    -in "$file" -out "$file.signed" >/dev/null || { rm -f "$file.signed"; return 1; }
  mv "$file.signed" "$file"
}

# Checks FILE's signature against the test root of DIR.
tw_sign_verify() {
  osslsigncode verify -CAfile "$2/ca.crt" -in "$1" >/dev/null 2>&1
}
