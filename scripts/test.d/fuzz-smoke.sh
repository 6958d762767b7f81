# A short run of the package fuzzer (libFuzzer with sanitizers, native clang).
exec bash "$(dirname "$0")/../fuzz-smoke.sh"
