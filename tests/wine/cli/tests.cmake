# The console program under Wine: dunmere-cli-sim.exe on a simulated machine, its exit codes,
# reports and refusals as a script sees them.
add_test(NAME cli_sim COMMAND ${CMAKE_CURRENT_LIST_DIR}/cli_sim.sh ${BIN_DIR})
set_tests_properties(cli_sim PROPERTIES
  LABELS wine
  RUN_SERIAL TRUE
  TIMEOUT 180
  REQUIRED_FILES "${BIN_DIR}/dunmere-cli-sim.exe")

# The MSI installed, used and removed with Wine's msiexec.
add_test(NAME cli_msi_install
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/msi_install.sh ${BIN_DIR} ${RELEASE_MSI})
set_tests_properties(cli_msi_install PROPERTIES
  LABELS wine
  RUN_SERIAL TRUE
  TIMEOUT 180
  REQUIRED_FILES "${RELEASE_MSI}")
