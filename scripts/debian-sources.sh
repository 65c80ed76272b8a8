# Shell functions shared by the scripts that fetch packages from the Debian archive this
# machine already uses (its own mirror or proxy, its keyring) without touching its package
# sources. Sourced; needs $codename and $apt_etc set.

# Prints, as a deb822 sources list of TYPE (deb, deb-src), COMPONENT of each Debian archive that the
# sources under $apt_etc name for bookworm, bookworm-updates or bookworm-security, each
# with the keyring its source names. Reads sources.list and then sources.list.d/*.list and
# *.sources in name order, as apt does; skips stanzas marked "Enabled: no", deb-src entries
# and archives that carry none of Debian's components (another vendor's repository may name
# the same suite). A URI and suite met twice is taken once: apt refuses a second Signed-By.
# Returns 1, printing nothing, when there is none.
debian_sources() {
  local type=$1 component=$2
  local LC_COLLATE=C files=() file
  [ -f "$apt_etc/sources.list" ] && files+=("$apt_etc/sources.list")
  for file in "$apt_etc"/sources.list.d/*; do
    case $file in *.list | *.sources) [ -f "$file" ] && files+=("$file") ;; esac
  done
  [ ${#files[@]} -gt 0 ] || return 1
  awk -v codename="$codename" -v type="$type" -v component="$component" '
    function wanted_suite(s) {
      return s == codename || s == codename "-updates" || s == codename "-security"
    }
    function has_word(list, word,   n, i, w) {
      n = split(list, w, /[ \t]+/)
      for (i = 1; i <= n; i++) if (w[i] == word) return 1
      return 0
    }
    function debian_components(list) {
      return has_word(list, "main") || has_word(list, "contrib") ||
             has_word(list, "non-free") || has_word(list, "non-free-firmware")
    }
    # One stanza per URI, with the suites not yet taken for it.
    function take(uris, suites, components, signed_by,   nu, ns, u, s, i, j, key, kept) {
      if (!debian_components(components)) return
      nu = split(uris, u, /[ \t]+/)
      ns = split(suites, s, /[ \t]+/)
      for (i = 1; i <= nu; i++) {
        if (u[i] == "") continue
        kept = ""
        for (j = 1; j <= ns; j++) {
          key = u[i]
          sub(/\/+$/, "", key)
          key = key " " s[j]
          if (!wanted_suite(s[j]) || key in seen) continue
          seen[key] = 1
          kept = kept (kept == "" ? "" : " ") s[j]
        }
        if (kept == "") continue
        if (printed++) print ""
        print "Types: " type
        print "URIs: " u[i]
        print "Suites: " kept
        print "Components: " component
        if (signed_by != "") print "Signed-By:" (signed_by ~ /^\n/ ? "" : " ") signed_by
      }
    }
    function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
    function end_stanza() {
      if (in_stanza && has_word(field["types"], "deb") &&
          tolower(field["enabled"]) !~ /^(no|false|off|without|disable)$/)
        take(field["uris"], field["suites"], field["components"], field["signed-by"])
      split("", field)
      in_stanza = 0
      last = ""
    }
    # deb822: fields, continuation lines (an embedded key keeps its lines as written),
    # comment lines, stanzas between blank lines.
    function deb822_line(line,   name) {
      if (line ~ /^#/) return
      if (line ~ /^[ \t]*$/) { end_stanza(); return }
      if (line ~ /^[ \t]/) {
        if (last == "signed-by") field[last] = field[last] "\n" line
        else if (last != "") field[last] = trim(field[last] " " trim(line))
        return
      }
      if (match(line, /^[A-Za-z0-9-]+:/)) {
        name = tolower(substr(line, 1, RLENGTH - 1))
        field[name] = trim(substr(line, RLENGTH + 1))
        last = name
        in_stanza = 1
      }
    }
    # One-line: deb [ options ] URI suite components..., "#" to the end of a line a comment.
    function one_line(line,   options, close_at, n, o, i, signed_by, w) {
      sub(/#.*/, "", line)
      line = trim(line)
      if (line !~ /^deb[ \t]/) return
      line = trim(substr(line, 4))
      options = ""
      if (substr(line, 1, 1) == "[") {
        close_at = index(line, "]")
        if (!close_at) return
        options = substr(line, 2, close_at - 2)
        line = trim(substr(line, close_at + 1))
      }
      signed_by = ""
      n = split(options, o, /[ \t]+/)
      for (i = 1; i <= n; i++)
        if (tolower(o[i]) ~ /^signed-by=/) signed_by = substr(o[i], 11)
      n = split(line, w, /[ \t]+/)
      if (n < 3) return
      line = w[3]
      for (i = 4; i <= n; i++) line = line " " w[i]
      take(w[1], w[2], line, signed_by)
    }
    FNR == 1 { end_stanza(); deb822 = FILENAME ~ /\.sources$/ }
    { sub(/\r$/, "") }
    deb822 { deb822_line($0); next }
    { one_line($0) }
    END { end_stanza(); exit printed ? 0 : 1 }
  ' "${files[@]}"
}
