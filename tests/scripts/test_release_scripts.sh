#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The release scripts' own logic, without a package manager's work:
#   - scripts/deb-src-entries reads the machine's apt sources (one-line and
#     deb822, given here through APT_CONFIG) and gives a deb-src entry for each
#     enabled deb entry, with its key and without the binary-only options;
#   - scripts/package with an unknown kind lists the kinds and exits 2.
#   tests/scripts/test_release_scripts.sh CHECKOUT
set -euo pipefail
checkout=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# case NAME LIST_TEXT SOURCES_TEXT EXPECTED: the sources as the one-line list
# and one deb822 file, and the entries the script must print.
check_entries() {
  local name=$1 list=$2 sources=$3 expected=$4 got
  rm -rf "$scratch/etc" && mkdir -p "$scratch/etc/sources.list.d"
  printf '%s' "$list" >"$scratch/etc/sources.list"
  printf '%s' "$sources" >"$scratch/etc/sources.list.d/machine.sources"
  printf 'Dir::Etc::SourceList "%s/etc/sources.list";\nDir::Etc::SourceParts "%s/etc/sources.list.d/";\n' \
    "$scratch" "$scratch" >"$scratch/apt.conf"
  got=$(APT_CONFIG=$scratch/apt.conf "$checkout/scripts/deb-src-entries")
  [[ $got == "$expected" ]] || fail "$name: got
$got
expected
$expected"
}

check_entries "a one-line entry keeps its key, not its architecture" \
  $'deb [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] file:/srv/a bookworm main contrib\n' '' \
  $'Types: deb-src\nURIs: file:/srv/a\nSuites: bookworm\nComponents: main contrib\nSigned-By: /usr/share/keyrings/k.gpg'
check_entries "comments, source entries and discs give nothing" \
  $'# deb file:/srv/a bookworm main\ndeb-src file:/srv/a bookworm main\ndeb cdrom:[Disc 1]/ bookworm main\n' '' ''
check_entries "a deb822 stanza comes back as a source stanza" '' \
  $'Types: deb\nURIs: file:/srv/b\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/k.gpg\n' \
  $'Types: deb-src\nURIs: file:/srv/b\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/k.gpg'
check_entries "disabled stanzas and those with sources already give nothing" '' \
  $'Types: deb\nURIs: file:/srv/b\nSuites: bookworm\nEnabled: no\n\nTypes: deb deb-src\nURIs: file:/srv/c\nSuites: bookworm\n' ''

status=0
"$checkout/scripts/package" bogus >"$scratch/out" 2>"$scratch/err" || status=$?
[[ $status == 2 ]] || fail "scripts/package bogus: exit status $status, not 2"
grep -q "unknown kind 'bogus'" "$scratch/err" || fail "scripts/package bogus names no unknown kind: $(cat "$scratch/err")"
for kind in deb windows msi; do
  grep -q "^  $kind " "$scratch/err" || fail "scripts/package bogus does not list $kind"
done

((failures == 0)) && echo "The release scripts behave: 5 cases"
((failures == 0))
