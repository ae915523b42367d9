# Sourced by the scripts that make a Debian system with debootstrap: sets mirror to the Debian
# mirror of this machine's own sources (deb822 or one-line form, not the security one).
mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | sed -n 's|^URIs:[[:space:]]*||p' | tr ' ' '\n' |
  grep -m1 '/debian/\?$' || true)
[ -n "$mirror" ] || mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
  sed -n 's|^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*/debian/\?\)[[:space:]].*|\2|p' | head -1)
mirror=${mirror:-http://deb.debian.org/debian}
