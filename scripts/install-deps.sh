#!/usr/bin/env bash
# Installs what Platovix needs to build, run and test on Debian 12, where it
# is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(cmake g++ ninja-build ccache mold qt6-base-dev libgl1-mesa-dev libgtest-dev googletest
          libbenchmark-dev xvfb xauth xclip
          clang libclang-rt-14-dev llvm locales
          # plate analysis: curve fits, reading saved plates, SciPy for the reference fits
          libeigen3-dev nlohmann-json3-dev python3-scipy
          # serial device listing, ports as JSON, the Debian package and its man pages
          libserialport-dev dpkg-dev help2man man-db
          # the standard curve in the desktop program's analysis window
          qt6-charts-dev libqt6opengl6-dev
          # the Excel workbook (its .pc file also wants zlib); tests read it back with unzip
          libxlsxwriter-dev zlib1g-dev unzip
          # the preview's Open reads such a workbook's Plate sheet back (minizip unpacks it)
          libminizip-dev libxml2-dev
          # platovix-sila: gRPC and protobuf (the compiler plugin package is needed by
          # gRPC's CMake package), TLS certificates, mDNS announcement
          libgrpc++-dev protobuf-compiler-grpc libprotobuf-dev protobuf-compiler libssl-dev
          libavahi-client-dev pkg-config
          # platovix-sila's protos are made from its feature definitions by the SiLA 2
          # standard's stylesheet (xsltproc); the tests check them with its schema (xmllint)
          xsltproc libxml2-utils
          # the plate archive: SQLite (the embedded default), libpq (a lab's PostgreSQL
          # archive) and the PostgreSQL server its tests and benchmark start themselves
          libsqlite3-dev libpq-dev postgresql
          # tests: the plate report's PDF read back and rendered (pdftotext, pdftoppm), and the
          # ASM export checked by the Allotrope schema kit's validator
          poppler-utils python3-jsonschema)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The result text must keep its decimal point under a decimal-comma locale;
# the tests need one such locale to show it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  $sudo sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen > /dev/null
  $sudo locale-gen > /dev/null
fi
