#!/usr/bin/env bash
# The medium's packages checked before any change under Windows 98
# (RTDLL_95.PKG, APPS_95.PKG): see integrity-lib.sh.
. "$(dirname "$0")/e2e-lib.sh"
. "$(dirname "$0")/integrity-lib.sh"
integrity_scenario 95
