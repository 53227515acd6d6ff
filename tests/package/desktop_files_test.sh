#!/bin/sh
# The desktop entry and the AppStream card pass the tools that desktops and software centres
# check them with.
set -eu
desktop="$1"
desktop-file-validate "$desktop/example.volumo.Volumo.desktop"
appstreamcli validate --no-net "$desktop/example.volumo.Volumo.metainfo.xml"
echo "desktop entry and metainfo valid"
