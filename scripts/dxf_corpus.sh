#!/usr/bin/env bash
# Imports every DXF file of Debian's librecad-data (the test suite takes a fixed sample of 200) in the test build,
# and prints how many were read and the slowest file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
KZ_DXF_ALL=1 ctest --test-dir build -R 'DxfReader.LibreCadFilesImport' --output-on-failure -V | grep -E "librecad DXF|Passed|Failed"
