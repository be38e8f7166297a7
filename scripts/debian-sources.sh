# Sourced, not run: fetches and unpacks Debian source packages through an apt configuration of
# its own (its own lists and cache, deb-src lines for the archive this machine already uses), so
# the machine's apt sources and lists are left as they are.
#
# The sourcing script sets debian_apt_dir (the private apt's folder) and debian_log_dir (where
# the fetch logs go) and defines say MESSAGE..., which prints one line of progress.
# shellcheck shell=bash disable=SC2154

debian_apt() { # apt-get arguments...
    apt-get -o "Dir::Etc::SourceList=$debian_apt_dir/sources.list" \
        -o Dir::Etc::SourceParts=/nonexistent \
        -o "Dir::State=$debian_apt_dir/state" -o "Dir::State::Lists=$debian_apt_dir/lists" \
        -o "Dir::Cache=$debian_apt_dir/cache" -o APT::Sandbox::User=root "$@"
}

private_apt_update() {
    mkdir -p "$debian_apt_dir/state" "$debian_apt_dir/lists/partial" \
        "$debian_apt_dir/cache/archives/partial"
    local sources=/etc/apt/sources.list.d/debian.sources
    # Each "URIs: ... Suites: ..." stanza of the machine's deb822 sources becomes deb-src lines.
    awk '
        /^Types:/ { types = $0 }
        /^URIs:/ { uri = $2 }
        /^Suites:/ { suites = ""; for (i = 2; i <= NF; ++i) suites = suites " " $i }
        /^Components:/ { components = ""; for (i = 2; i <= NF; ++i) components = components " " $i }
        /^Signed-By:/ { key = $2 }
        /^$/ { flush() }
        END { flush() }
        function flush(   n, list, i) {
            if (uri != "" && types ~ /deb/) {
                n = split(suites, list, " ")
                for (i = 1; i <= n; ++i)
                    printf "deb-src %s%s %s%s\n", key == "" ? "" : "[signed-by=" key "] ", uri,
                        list[i], components
            }
            uri = ""
            key = ""
        }' "$sources" >"$debian_apt_dir/sources.list" 2>/dev/null || true
    # A machine set up with one-line sources instead: each "deb ..." line as a "deb-src ..." line.
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list \
        /etc/apt/sources.list.d/*.list 2>/dev/null >>"$debian_apt_dir/sources.list" || true
    local lines
    lines=$(wc -l <"$debian_apt_dir/sources.list")
    say "updating the private source lists ($lines lines from the machine's apt sources)"
    debian_apt update -qq || return 1
    touch "$debian_apt_dir/updated"
    debian_lists_fresh=1
}

# Unpacks PACKAGE=VERSION, with Debian's patches applied, into FOLDER; a FOLDER already there is
# taken as fetched before. Failures return 1 (set -e does not reach into a function called as a
# condition).
fetch_debian_source() { # package version folder
    local package="$1" version="$2" folder="$3"
    [ -d "$folder" ] && return 0
    [ -f "$debian_apt_dir/updated" ] || private_apt_update || return 1
    say "fetching Debian's source package $package $version"
    local download log="$debian_log_dir/fetch-$package.log"
    download="$(dirname "$folder")/download-$package"
    rm -rf "$download" && mkdir -p "$download" "$debian_log_dir" || return 1
    # Lists kept from an earlier run may predate the version asked for: refreshed once, then
    # it counts as missing.
    until (cd "$download" && debian_apt source -qq --download-only "$package=$version") \
        >"$log" 2>&1; do
        [ -n "${debian_lists_fresh:-}" ] || { private_apt_update && continue; }
        cat "$log" >&2
        say "could not fetch $package $version from the archive (see above)" >&2
        return 1
    done
    # dpkg-source applies Debian's patches as the Debian build does, unpacking beside the .dsc
    # so that no copy of the upstream tarball is left behind. It cannot check the maintainer's
    # signature without their key and says so; apt has already checked every file against the
    # archive's signed index.
    if ! dpkg-source -x "$download/${package}_${version#*:}.dsc" "$download/unpacked" \
        >>"$log" 2>&1; then
        cat "$log" >&2
        say "could not unpack $package $version (see above)" >&2
        return 1
    fi
    mv "$download/unpacked" "$folder" && rm -rf "$download"
}
