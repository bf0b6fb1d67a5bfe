# Copies the user manuals from SOURCE to DESTINATION, each page with the version written in
# where it says @PROJECT_VERSION@ and @PATHMERE_BUILD_NUMBER@, so that the version is kept in
# the top CMakeLists.txt alone.
# cmake -D SOURCE=... -D DESTINATION=... -D PROJECT_VERSION=... -D PATHMERE_BUILD_NUMBER=...
#       -P StageManuals.cmake
file(REMOVE_RECURSE ${DESTINATION})
file(COPY ${SOURCE}/ DESTINATION ${DESTINATION} PATTERN index.html EXCLUDE)
file(GLOB pages RELATIVE ${SOURCE} ${SOURCE}/*/index.html)
foreach(page IN LISTS pages)
  configure_file(${SOURCE}/${page} ${DESTINATION}/${page} @ONLY)
endforeach()
