#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it as a user would meet it: every file
# in its place, the installed programs working from a folder without confxml/ (so the per-user
# work folder is made and seeded), the desktop entry and the metainfo valid, the man page naming
# every command and option, and the shell completion offering commands, options and ports.
# usage: check_install.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # expect DESCRIPTION COMMAND...: the command must succeed
    local what=$1; shift
    "$@" >"$tmp/last.out" 2>&1 || { fail "$what"; sed 's/^/    /' "$tmp/last.out"; }
}

prefix=$tmp/usr
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

# The layout.
share=$prefix/share
for f in bin/vant-conf bin/vant-conf-cli bin/vant-devsim \
    share/vant-conf/translations/vant-conf_ru.qm \
    share/vant-conf/confxml/VANT-DEMO-1.xml share/vant-conf/confxml/samples/VANT-DEMO-1-values.xml \
    share/vant-conf/schema/vant-description.xsd \
    share/applications/ru.vant_devices.vantconf.desktop \
    share/metainfo/ru.vant_devices.vantconf.metainfo.xml \
    share/icons/hicolor/scalable/apps/vant-conf.svg \
    share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/vant-conf.png \
    share/man/man1/vant-conf.1 share/man/man1/vant-conf-cli.1 share/man/man1/vant-devsim.1 \
    share/bash-completion/completions/vant-conf-cli \
    lib/udev/rules.d/70-vant-conf.rules; do
    [ -s "$prefix/$f" ] || fail "missing $f"
done
for f in bin/vant-conf bin/vant-conf-cli bin/vant-devsim; do
    [ -x "$prefix/$f" ] || fail "$f is not executable"
done
# The window's modules, in the library folder (lib/ or lib/<multiarch>/) under vant-conf/.
for m in vant-conf-device.so vant-conf-download.so; do
    [ -n "$(find "$prefix/lib" -path "*/vant-conf/$m" -type f 2>/dev/null)" ] || fail "missing the module $m"
done
while read -r f; do
    cmp -s "$src/confxml/$f" "$share/vant-conf/confxml/$f" || fail "confxml/$f is not installed as shipped"
done < <(cd "$src/confxml" && find . -type f)
grep -q 'TAG+="uaccess"' "$prefix/lib/udev/rules.d/70-vant-conf.rules" || fail "the udev rules give no uaccess"

# The installed tool, from a working directory without confxml/, with data of its own.
cli=$prefix/bin/vant-conf-cli
work=$tmp/cwd
data=$tmp/data
mkdir -p "$work" "$data" "$tmp/config"
export XDG_DATA_HOME=$data XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen
version=$(sed -n 's/^project(vant-conf VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
[ "$("$cli" --version)" = "vant-conf-cli $version" ] || fail "vant-conf-cli --version is not $version"
grep -q "<release version=\"$version\"" "$share/metainfo/ru.vant_devices.vantconf.metainfo.xml" ||
    fail "the metainfo names no release $version"

demo=$share/vant-conf/confxml/VANT-DEMO-1.xml
samples=$share/vant-conf/confxml/samples/VANT-DEMO-1-values.xml
(cd "$work" && "$cli" show "$demo" "$samples") >"$tmp/show.installed" || fail "show on the installed description"
(cd "$src" && "$build/bin/vant-conf-cli" show confxml/VANT-DEMO-1.xml confxml/samples/VANT-DEMO-1-values.xml) >"$tmp/show.built"
cmp -s "$tmp/show.installed" "$tmp/show.built" || fail "show on the installed description differs from the built tool's"
[ -e "$data/VANT/Device-Configurator/work" ] && fail "show, which looks nothing up by id, made the work folder"

# A device command looks its description up by id: there is none in the working directory, so
# the work folder is made and seeded, and the output still lands where the tool was started.
userwork=$data/VANT/Device-Configurator/work
cp "$src/tools/devsim/demo-image.bin" "$tmp/device.bin"
expect "download through the work folder" \
    env VANT_HID_SIM="$tmp/device.bin" sh -c "cd '$work' && '$cli' download -o out.xml"
[ -s "$work/out.xml" ] || fail "download did not write out.xml in the working directory"
[ -e "$work/confxml" ] && fail "download made confxml/ in the working directory"
cmp -s "$demo" "$userwork/confxml/VANT-DEMO-1.xml" || fail "the work folder has no copy of the demo description"
cmp -s "$samples" "$userwork/confxml/samples/VANT-DEMO-1-values.xml" || fail "the work folder has no samples"
[ -w "$userwork/confxml/VANT-DEMO-1.xml" ] || fail "the user's copy of a description is not writable"
expect "show of the downloaded values" sh -c "cd '$work' && '$cli' show '$demo' out.xml"

# What the user changed there stays; what is missing comes back.
echo "<!-- mine -->" >>"$userwork/confxml/samples/VANT-DEMO-1-values.xml"
rm "$userwork/confxml/VANT-DEMO-1.xml"
expect "a second download" env VANT_HID_SIM="$tmp/device.bin" sh -c "cd '$work' && '$cli' download -o again.xml"
grep -q "<!-- mine -->" "$userwork/confxml/samples/VANT-DEMO-1-values.xml" || fail "the user's sample was overwritten"
[ -s "$userwork/confxml/VANT-DEMO-1.xml" ] || fail "a removed shipped description did not come back"

# The window, started as from the desktop menu: its own data, a working directory without
# confxml/. It ends by its test hook; it must have prepared the work folder.
rm -rf "$data"/*
expect "the installed window starts and ends" \
    env VANT_CONF_QUIT_AFTER_MS=300 sh -c "cd '$work' && '$prefix/bin/vant-conf'"
cmp -s "$demo" "$userwork/confxml/VANT-DEMO-1.xml" || fail "the window did not seed the work folder"
# Simulated devices come from the device module, which the installed window finds in its
# library folder, not beside itself.
expect "the installed window loads its device module" \
    env VANT_CONF_QUIT_AFTER_MS=300 VANT_HID_SIM="$tmp/device.bin" sh -c "cd '$work' && '$prefix/bin/vant-conf'"
grep -q "Cannot load" "$tmp/last.out" && fail "the installed window did not load its device module: $(cat "$tmp/last.out")"

# Desktop entry and metainfo, when the validators are there (scripts/deps.sh installs them).
if command -v desktop-file-validate >/dev/null; then
    expect "desktop-file-validate" desktop-file-validate "$share/applications/ru.vant_devices.vantconf.desktop"
else
    echo "SKIP: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
    expect "appstreamcli validate" appstreamcli validate --no-net "$share/metainfo/ru.vant_devices.vantconf.metainfo.xml"
else
    echo "SKIP: appstreamcli is not installed"
fi

# The man page names every command the tool lists, and every option of each.
man=$share/man/man1/vant-conf-cli.1
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p')
[ -n "$commands" ] || fail "vant-conf-cli --help lists no commands"
# The man page as text: font changes and escapes out, "\-" as "-".
sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' "$man" >"$tmp/man.txt"
for c in $commands; do
    grep -Eq "^(\.BI? )?$c( |$)" "$tmp/man.txt" || fail "the man page has no entry for the command $c"
    for o in $("$cli" "$c" --help | grep -o -- ' --\?[a-z][a-z-]*' | sort -u); do
        grep -q -- "$o" "$tmp/man.txt" || fail "the man page does not name $o of $c"
    done
done
tags=$(grep -A1 '^\.TP' "$tmp/man.txt")
for status in 0 1 2 7 64; do
    grep -qx "\.B $status" <<<"$tags" || fail "the man page does not explain exit status $status"
done

# Shell completion: commands, a command's options, and --link values with a simulator registered.
completion=/usr/share/bash-completion/bash_completion
if [ -r "$completion" ]; then
    export VANT_PORT_REGISTRY=$tmp/registry
    mkdir -m 700 "$VANT_PORT_REGISTRY"
    "$prefix/bin/vant-devsim" --register --no-pace --image "$tmp/device.bin" >"$tmp/port" &
    sim_pid=$!
    for _ in $(seq 100); do [ -s "$tmp/port" ] && break; sleep 0.05; done
    port=$(head -1 "$tmp/port")
    complete_line() { # complete_line WORD...: what completing the last word offers
        bash -c 'source "$1"; source "$2"; shift 2
                 COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
                 _vant_conf_cli; printf "%s\n" "${COMPREPLY[@]}"' \
            _ "$completion" "$share/bash-completion/completions/vant-conf-cli" "$@"
    }
    offers() { # offers WORD WORD...: the first word is among what completing the others offers
        local want=$1 got; shift
        # Captured first: grep -q stopping early would end the completion with SIGPIPE.
        got=$(complete_line "$@")
        grep -qx -- "$want" <<<"$got" || fail "completing '$*' does not offer $want (offers: $got)"
    }
    PATH=$prefix/bin:$PATH
    [ "$(complete_line vant-conf-cli sh)" = show ] || fail "completion of 'sh' is not show"
    offers firmware vant-conf-cli ""
    offers --json vant-conf-cli identify --j
    offers --output vant-conf-cli pack x.xml -
    for l in AUTO HID "$port"; do
        offers "$l" vant-conf-cli upload --link ""
    done
else
    echo "SKIP: bash-completion is not installed"
fi

[ "$failures" -eq 0 ] && echo "install checks passed" || echo "$failures install checks failed"
exit $((failures > 0))
