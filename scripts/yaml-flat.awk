# Flattens a block-style YAML document, as the winget manifests are written,
# into one "path<TAB>value" line per scalar: "Installers.0.Scope<TAB>user",
# "InstallModes.1<TAB>silent". A key that holds a mapping or a sequence
# prints as "path<TAB>" alone. Quoted scalars lose their quotes; comments
# and blank lines go. What it cannot read (block scalars, flow collections,
# anchors, tabs, a key twice) prints
# "!error<TAB>line N: ..." so that the caller fails on it.
#
#   awk -f yaml-flat.awk manifest.yaml
function unquote(v) {
  if (v ~ /^".*"$/ || v ~ /^'.*'$/) return substr(v, 2, length(v) - 2)
  return v
}
function complain(what) { printf "!error\tline %d: %s\n", NR, what }
function emit(path, value) {
  if (path in seen) complain("the key " path " twice")
  seen[path] = 1
  printf "%s\t%s\n", path, value
}
# A "key: value" or "key:" at indent n, below the prefix of that indent.
function keyline(n, text,   colon, key, value, path) {
  colon = index(text, ":")
  if (colon == 0) { complain("neither a key nor a list item"); return }
  key = substr(text, 1, colon - 1)
  value = substr(text, colon + 1)
  sub(/^ +/, "", value)
  sub(/ +#.*$/, "", value)
  path = prefix[n] key
  if (value == "") {
    emit(path, "")
    owner[n] = path
    prefix[n + 2] = path "."
    items[path] = 0
  } else if (value ~ /^[][{}&*!|>]/) {
    complain("a value YAML writes in a form this reader does not know: " value)
  } else {
    emit(path, unquote(value))
    delete owner[n]
  }
}
{
  line = $0
  sub(/\r$/, "", line)
  if (line ~ /^ *(#.*)?$/) next
  if (line ~ /\t/) { complain("a tab"); next }
  match(line, /^ */)
  n = RLENGTH
  text = substr(line, n + 1)
  if (text ~ /^- /) {
    # winget writes a list at its key's indent; the indented style is read too.
    seq = (n in owner) ? owner[n] : owner[n - 2]
    if (seq == "") { complain("a list item under no key"); next }
    path = seq "." items[seq]++
    rest = substr(text, 3)
    if (rest ~ /^[A-Za-z][A-Za-z0-9]*:( |$)/) {
      prefix[n + 2] = path "."
      keyline(n + 2, rest)
    } else {
      emit(path, unquote(rest))
    }
  } else {
    if (n == 0) prefix[0] = ""
    keyline(n, text)
  }
}
