#!/usr/bin/env bash
# The medium's packages checked before any change, on the NT family
# (RTDLL_NT.PKG, APPS_NT.PKG): see integrity-lib.sh.
. "$(dirname "$0")/e2e-lib.sh"
. "$(dirname "$0")/integrity-lib.sh"
integrity_scenario NT
