#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed copies from a folder that
# has nothing of the project in it.
#   installTest.sh BUILD_DIR VERSION [PYTHON]   (PYTHON empty: the module was not built)
set -euo pipefail
build=$1
version=$2
python=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

elsewhere="$work/elsewhere"
mkdir "$elsewhere"
cd "$elsewhere"

for program in korvane korvane-fold korvane-eval; do
  [ -x "$prefix/bin/$program" ] || fail "$program is not installed in $prefix/bin"
  got=$("$prefix/bin/$program" --version)
  [ "$got" = "$program $version" ] || fail "$program --version printed '$got', not '$program $version'"
done

# korvane-fold needs nothing beside it: its parameters are built in.
printf '>hairpin\nGGGGAAAACCCC\n' > in.fa
folded=$("$prefix/bin/korvane-fold" -q in.fa)
expected=$'>hairpin\nGGGGAAAACCCC\n((((....)))) ( -5.40)'
[ "$folded" = "$expected" ] || fail "installed korvane-fold printed: $folded"

# The installed parameter set is the one korvane-eval and the batch program read.
[ -f "$prefix/share/korvane/turner1999/stack.dat" ] || fail "share/korvane/turner1999 holds no stack.dat"
printf '>hairpin\nGGGGAAAACCCC\n((((....))))\n' > hairpin.dp
scored=$("$prefix/bin/korvane-eval" --dat "$prefix/share/korvane/turner1999" hairpin.dp)
[ "$scored" = $'hairpin\t-5.4' ] || fail "installed korvane-eval printed: $scored"
mkdir batch batch/sequences
cp -r "$prefix/share/korvane/turner1999" batch/dat
printf '>hairpin\nGGGGAAAACCCC\n' > batch/sequences/hairpin.fasta
(cd batch && "$prefix/bin/korvane" < /dev/null > console.txt) || fail "installed korvane failed on share/korvane/turner1999"
grep -q 'ENERGY = -5.4' batch/sequences/hairpin_varn.ct || fail "installed korvane wrote no CT file of energy -5.4"

for page in korvane korvane-fold korvane-eval; do
  if [ "$page" != korvane ] && ! command -v help2man > /dev/null; then continue; fi
  [ -f "$prefix/share/man/man1/$page.1" ] || fail "no manual page $page.1"
  if command -v man > /dev/null; then
    found=$(MANPATH="$prefix/share/man" man -w "$page") || fail "man -w $page found nothing"
    [ "$found" = "$prefix/share/man/man1/$page.1" ] || fail "man -w $page found $found"
  fi
done

if [ -n "$python" ]; then
  site=$(find "$prefix" -name __init__.py -path '*/korvane/__init__.py' -printf '%h\n' | head -1)
  [ -n "$site" ] || fail "the Python module is not installed under $prefix"
  structure=$(PYTHONPATH="$(dirname "$site")" "$python" -c "import korvane; print(korvane.fold('GGGGAAAACCCC').structure)")
  [ "$structure" = "((((....))))" ] || fail "the installed module folded GGGGAAAACCCC as '$structure'"
  echo "python module installed in $(dirname "$site")"
fi
echo "installed and run from $elsewhere"
