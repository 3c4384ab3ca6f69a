# shellcheck shell=bash
# What an installation holds, relative to the prefix; sourced by check_install.sh and
# check_package.sh so the tree and the package are held to the same list.
installed_files=(
    bin/morva-tr510
    bin/morvactl
    libexec/morva-tr510/morva-audio-capture
    share/morva-tr510/skin/res.xml
    share/morva-tr510/DefaultData/mouse.Json
    share/morva-tr510/autostart/morva-tr510.desktop
    lib/udev/rules.d/70-morva-tr510.rules
    share/applications/morva-tr510.desktop
    share/metainfo/org.morva.tr510.metainfo.xml
    share/icons/hicolor/scalable/apps/morva-tr510.svg
    share/man/man1/morva-tr510.1.gz
    share/man/man1/morvactl.1.gz
    share/man/man1/morva-audio-capture.1.gz
    share/doc/morva-tr510/copyright
    share/doc/morva-tr510/changelog.gz
)
icon_sizes=(16 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
    installed_files+=("share/icons/hicolor/${size}x${size}/apps/morva-tr510.png")
done
