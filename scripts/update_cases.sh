#!/usr/bin/env bash
# Writes the case corpus's expected outputs (tests/cases) anew from what the
# program gives now, after an intended change of its output, and shows what
# changed: git diff --stat, the new files, then the whole difference.
# Builds talix and the tools' tests first (preset debug, or the one given).
# Only the expected files the cases name are written, and only when their
# content changed; a case whose command fails writes nothing past it and the
# script exits 1. Review the difference, then commit it with the change.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "${TALIX_JOBS:-$(nproc 2>/dev/null || echo 2)}" --target talix_cli tools_tests
status=0
TALIX_UPDATE_CASES=1 "build/$preset/tests/tools_tests" --gtest_filter='CaseCorpus.*' --gtest_brief=1 || status=$?
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git --no-pager diff --stat -- tests/cases
    git status --short --untracked-files=all -- tests/cases | grep '^??' || true
    git --no-pager diff -- tests/cases
fi
exit "$status"
