#!/usr/bin/env bash
# Installs the build into a temporary prefix as `cmake --install` does for a user, then
# checks what it put there against files.txt and runs an example from there.
#   install-test.sh BUILD_DIR FILES_LIST VERSION
set -euo pipefail
build=$1 list=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
diff -u "$list" <(cd "$prefix" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) ||
  { echo "the installed files differ from $list"; exit 1; }

exe=$prefix/bin/velmarin
examples=$prefix/share/doc/velmarin/examples
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" --version | grep -qx "Velmarin Version $version" ||
  { echo "velmarin --version is not the package's version $version"; exit 1; }
# An example from the installed examples, with the module pair beside it.
diff -u "$here/../examples/Checkout.out" <(cd / && "$exe" --run "$examples/Checkout.mod")
# The plot drawn off screen from there.
"$exe" --run "$examples/DampedSine.mod" --screenshot "$prefix/plot.png" >/dev/null
[ -s "$prefix/plot.png" ] || { echo "no plot.png"; exit 1; }
# Help > Library Modules shows a definition from the installed files (a line added to the
# installed InOut.def shows).
echo "(* installed *)" >>"$prefix/share/velmarin/defs/InOut.def"
"$exe" -platform offscreen --keys "MENU@Help/Library_Modules RETURN" --dump "$prefix/dump.txt" \
  >/dev/null 2>&1
grep -qx "(\* installed \*)" "$prefix/dump.txt" ||
  { echo "Help > Library Modules did not show the installed InOut.def"; exit 1; }
# The manual page lists every option that --help lists.
for option in $("$exe" --help | sed -n 's/^  \(--*[a-z-]*\).*/\1/p'); do
  gzip -dc "$prefix/share/man/man1/velmarin.1.gz" | grep -q -- "${option//-/\\\\-}" ||
    { echo "the manual page lacks $option"; exit 1; }
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/velmarin.desktop"
fi
# The desktop entry opens Modula-2 sources, and the installed type makes *.mod and *.def
# files Modula-2 source (not tracker music) once the desktop's type database knows it.
grep -qx "MimeType=text/x-modula2;" "$prefix/share/applications/velmarin.desktop" ||
  { echo "the desktop entry does not name text/x-modula2"; exit 1; }
if command -v update-mime-database >/dev/null; then
  mkdir -p "$prefix/mime/packages"
  cp /usr/share/mime/packages/freedesktop.org.xml "$prefix/mime/packages/" 2>/dev/null || true
  cp "$prefix/share/mime/packages/velmarin-modula2.xml" "$prefix/mime/packages/"
  update-mime-database "$prefix/mime" >/dev/null 2>&1
  for ext in mod def; do
    best=$(awk -F: -v g="*.$ext" '$3 == g' "$prefix/mime/globs2" | sort -t: -k1,1nr | head -n1 | cut -d: -f2)
    [ "$best" = text/x-modula2 ] || { echo "*.$ext is $best, not text/x-modula2"; exit 1; }
  done
fi
echo "installed into a temporary prefix: files, --version, --run, the library's definitions and the manual page as expected"
