# The HTML API reference, built by Doxygen from include/velnor.h with
# warnings as errors. Installed with the library (share/doc/Velnor/html on
# Linux, docs/html in the Windows SDK archive); tests/sdk checks its content.
find_package(Doxygen)
if(NOT DOXYGEN_EXECUTABLE)
  message(STATUS "doxygen not found: no API reference")
  return()
endif()

# Configures docs/Doxyfile.in to write into <output>/html and <output>/xml.
function(velnor_doxyfile output doxyfile)
  set(VELNOR_DOXYGEN_OUTPUT ${output})
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${doxyfile} @ONLY)
endfunction()

set(VELNOR_API_REFERENCE_DIR ${PROJECT_BINARY_DIR}/docs)
velnor_doxyfile(${VELNOR_API_REFERENCE_DIR} ${PROJECT_BINARY_DIR}/Doxyfile)
add_custom_command(
  OUTPUT ${VELNOR_API_REFERENCE_DIR}/html/index.html
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELNOR_API_REFERENCE_DIR}/html ${VELNOR_API_REFERENCE_DIR}/xml
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELNOR_API_REFERENCE_DIR}
  COMMAND ${DOXYGEN_EXECUTABLE} ${PROJECT_BINARY_DIR}/Doxyfile
  DEPENDS ${PROJECT_SOURCE_DIR}/include/velnor.h ${PROJECT_SOURCE_DIR}/include/velnor_watch.h
          ${PROJECT_SOURCE_DIR}/docs/Doxyfile.in
          ${PROJECT_SOURCE_DIR}/docs/reference.css
  COMMENT "Building the API reference with Doxygen"
  VERBATIM)
add_custom_target(velnor_api_reference ALL DEPENDS ${VELNOR_API_REFERENCE_DIR}/html/index.html)

include(GNUInstallDirs)
if(WIN32)
  set(_velnor_reference_destination docs)
else()
  set(_velnor_reference_destination ${CMAKE_INSTALL_DOCDIR})
endif()
install(DIRECTORY ${VELNOR_API_REFERENCE_DIR}/html DESTINATION ${_velnor_reference_destination})
