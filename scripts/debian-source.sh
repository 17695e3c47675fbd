# Sourced by the scripts that build from Debian's own source packages
# (scripts/web.sh, scripts/windows.sh); not run on its own. Debian's source
# packages are fetched with apt-get source through a private apt
# configuration: deb-src entries made from the machine's own package
# sources, which are left as they are. Nothing else is downloaded.
#   Needs dpkg-dev (dpkg-source) and xz-utils; scripts/setup*.sh install them.

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  echo "usage: source scripts/debian-source.sh (from a script that builds from Debian's sources; it does nothing on its own)" >&2
  exit 2
fi

# fetch_debian_sources WORK DEST PACKAGE...: unpacks each source package
# into DEST (as PACKAGE-VERSION/), keeping apt's lists and downloads in
# WORK/apt and its output in WORK/apt-*.log, shown when it fails.
fetch_debian_sources() {
  local work=$1 dest=$2
  shift 2
  local apt_dir=$work/apt
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$dest"
  # The machine's own package sources, as source entries.
  : >"$apt_dir/sources.list"
  [ -f /etc/apt/sources.list ] && sed -n 's/^deb /deb-src /p' /etc/apt/sources.list >"$apt_dir/sources.list"
  rm -f "$apt_dir"/sources.list.d/*
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
  done
  for f in /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] && sed -n 's/^deb /deb-src /p' "$f" >"$apt_dir/sources.list.d/$(basename "$f")"
  done
  local apt=(apt-get -q
    -o "Dir::Etc::sourcelist=$apt_dir/sources.list" -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
    -o "Dir::State::lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
    -o "APT::Sandbox::User=$(id -un)" -o Debug::NoLocking=1)
  echo "fetching Debian's source packages: $*"
  "${apt[@]}" update >"$work/apt-update.log" 2>&1 || { cat "$work/apt-update.log" >&2; return 1; }
  (cd "$dest" && "${apt[@]}" source "$@" >"$work/apt-source.log" 2>&1) ||
    { cat "$work/apt-source.log" >&2; return 1; }
}
