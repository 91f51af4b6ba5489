# The checks of the script tests: check WHAT ACTUAL EXPECTED counts a pass or prints the failure;
# checks_done prints the closing line and fails when any check did.
passed=0
failed=0
check() {  # what, actual, expected
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    echo "FAIL: $1: got '$2', expected '$3'"
    failed=$((failed + 1))
  fi
}
checks_done() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
