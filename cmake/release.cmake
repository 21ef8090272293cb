# What a Windows user takes away: the user guide compiled into userguide.chm beside the
# executables, and dunmere-<version>-win64.zip with the program, its sounds, the guide and a
# readme. Included by windows.cmake, which sets BIN_DIR.
find_program(CHMCMD chmcmd REQUIRED)

set(GUIDE_SOURCE ${CMAKE_SOURCE_DIR}/docs/userguide)
file(GLOB GUIDE_FILES CONFIGURE_DEPENDS ${GUIDE_SOURCE}/*)
# chmcmd writes the .chm beside its project file, so it compiles a copy in the build tree.
set(GUIDE_WORK ${CMAKE_BINARY_DIR}/userguide)
add_custom_command(OUTPUT ${BIN_DIR}/userguide.chm
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${GUIDE_WORK}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${GUIDE_SOURCE} ${GUIDE_WORK}
  COMMAND ${CMAKE_COMMAND} -E chdir ${GUIDE_WORK} ${CHMCMD} --verbosity 0 userguide.hhp
  COMMAND ${CMAKE_COMMAND} -E copy ${GUIDE_WORK}/userguide.chm ${BIN_DIR}/userguide.chm
  DEPENDS ${GUIDE_FILES}
  COMMENT "Compiling the user guide into userguide.chm"
  VERBATIM)
add_custom_target(userguide ALL DEPENDS ${BIN_DIR}/userguide.chm)

# Windows users open the readme with Notepad, so it gets Windows line ends.
set(RELEASE_README ${CMAKE_BINARY_DIR}/release/readme.txt)
configure_file(${CMAKE_SOURCE_DIR}/docs/release/readme.txt ${RELEASE_README} @ONLY NEWLINE_STYLE CRLF)

set(RELEASE_ZIP ${CMAKE_BINARY_DIR}/dunmere-${PROJECT_VERSION}-win64.zip)
set(RELEASE_STAGE ${CMAKE_BINARY_DIR}/release/stage)
set(RELEASE_MEMBERS dunmere.exe dunmere-cli.exe ding.wav finish.wav warning.wav userguide.chm readme.txt)
add_custom_command(OUTPUT ${RELEASE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${RELEASE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RELEASE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dunmere> $<TARGET_FILE:dunmere-cli> ${BIN_DIR}/ding.wav ${BIN_DIR}/finish.wav
          ${BIN_DIR}/warning.wav ${BIN_DIR}/userguide.chm ${RELEASE_README} ${RELEASE_STAGE}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${RELEASE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E chdir ${RELEASE_STAGE}
          ${CMAKE_COMMAND} -E tar cf ${RELEASE_ZIP} --format=zip -- ${RELEASE_MEMBERS}
  DEPENDS dunmere dunmere-cli ${BIN_DIR}/userguide.chm ${RELEASE_README} ${SOUND_FILES}
  COMMENT "Packing dunmere-${PROJECT_VERSION}-win64.zip"
  VERBATIM)
add_custom_target(release_zip ALL DEPENDS ${RELEASE_ZIP})

# The archive holds exactly the release files, each identical to what the build made.
add_test(NAME release_zip_members
  COMMAND ${CMAKE_COMMAND} -D ZIP=${RELEASE_ZIP} -D "MEMBERS=${RELEASE_MEMBERS}"
          -D "SOURCES=$<TARGET_FILE:dunmere>;$<TARGET_FILE:dunmere-cli>;${BIN_DIR}/ding.wav;${BIN_DIR}/finish.wav;${BIN_DIR}/warning.wav;${BIN_DIR}/userguide.chm;${RELEASE_README}"
          -D WORK=${CMAKE_BINARY_DIR}/release/check
          -P ${CMAKE_SOURCE_DIR}/tests/release/zip_members.cmake)
set_tests_properties(release_zip_members PROPERTIES REQUIRED_FILES ${RELEASE_ZIP})

# Every page of the guide is reachable from its contents, every link lands, and every line
# the program logs in so many words is explained in its troubleshooting page.
add_test(NAME userguide_pages
  COMMAND ${CMAKE_COMMAND} -D GUIDE=${GUIDE_SOURCE} -D SOURCE=${CMAKE_SOURCE_DIR}
          -P ${CMAKE_SOURCE_DIR}/tests/release/userguide_pages.cmake)

# The installer: dunmere-<version>-x64.msi, built by wixl from cmake/dunmere.wxs.in. wixl takes
# its files by names relative to where it runs, so they are staged in a folder of their own.
find_program(WIXL wixl REQUIRED)
set(RELEASE_MSI ${CMAKE_BINARY_DIR}/dunmere-${PROJECT_VERSION}-x64.msi)
set(MSI_STAGE ${CMAKE_BINARY_DIR}/release/msi-stage)
configure_file(${CMAKE_SOURCE_DIR}/cmake/dunmere.wxs.in ${CMAKE_BINARY_DIR}/release/dunmere.wxs @ONLY)
add_custom_command(OUTPUT ${RELEASE_MSI}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${MSI_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MSI_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dunmere> $<TARGET_FILE:dunmere-cli> ${BIN_DIR}/ding.wav
          ${BIN_DIR}/finish.wav ${BIN_DIR}/warning.wav ${BIN_DIR}/userguide.chm ${RELEASE_README}
          ${CMAKE_BINARY_DIR}/release/dunmere.wxs ${MSI_STAGE}
  COMMAND ${CMAKE_COMMAND} -E chdir ${MSI_STAGE} ${WIXL} -a x64 -o ${RELEASE_MSI} dunmere.wxs
  DEPENDS dunmere dunmere-cli ${BIN_DIR}/userguide.chm ${RELEASE_README} ${SOUND_FILES}
          ${CMAKE_SOURCE_DIR}/cmake/dunmere.wxs.in
  COMMENT "Building dunmere-${PROJECT_VERSION}-x64.msi"
  VERBATIM)
add_custom_target(release_msi ALL DEPENDS ${RELEASE_MSI})
