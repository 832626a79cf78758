# The release archive, Quillet-<version>-win32.zip (scripts/release.sh; the Windows tests unpack
# it too). Everything lies at its top level, as a user unpacks it into the messenger's plug-ins
# folder:
#   Quillet.dll                   the plug-in, stripped of its symbols
#   quillet-history.exe           the history tool, stripped; beside the DLL it finds the settings
#   Languages\*.ini, *.ico        the bundled interface languages and their icons
#   Quillet.txt                   the user guide (docs/user-guide.md)
#   CHANGELOG.txt, LICENSE.txt    what each version brings; the licence
# The three texts are written for Notepad (cmake/NotepadText.cmake) when the project builds.

set(quillet_release_texts "docs/user-guide.md=Quillet.txt" "CHANGELOG.md=CHANGELOG.txt"
  "LICENSE=LICENSE.txt")
set(quillet_release_text_files)
foreach(pair ${quillet_release_texts})
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 name)
  set(output "${CMAKE_BINARY_DIR}/release-texts/${name}")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${PROJECT_SOURCE_DIR}/${source}" "-DOUTPUT=${output}"
            -P "${PROJECT_SOURCE_DIR}/cmake/NotepadText.cmake"
    DEPENDS "${PROJECT_SOURCE_DIR}/${source}" "${PROJECT_SOURCE_DIR}/cmake/NotepadText.cmake"
    COMMENT "Writing ${name} for Notepad" VERBATIM)
  list(APPEND quillet_release_text_files "${output}")
endforeach()
add_custom_target(quillet_release_texts ALL DEPENDS ${quillet_release_text_files})

# One component, so that nothing else the build could install (GoogleTest's files in the test
# build) reaches the archive.
install(TARGETS Quillet LIBRARY DESTINATION . COMPONENT release)
install(TARGETS quillet-history RUNTIME DESTINATION . COMPONENT release)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/Languages/" DESTINATION Languages COMPONENT release
  FILES_MATCHING PATTERN "*.ini" PATTERN "*.ico")
install(FILES ${quillet_release_text_files} DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quillet)
set(CPACK_PACKAGE_VENDOR "Ostrel software")
set(CPACK_PACKAGE_FILE_NAME "Quillet-${PROJECT_VERSION}-win32")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quillet;release;/")
include(CPack)
