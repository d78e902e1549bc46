# cmake --install BUILD --prefix P: the programs in P/bin, the parameter sets in
# P/share/korvane/NAME/ (dat/ itself as turner1999), manual pages in P/share/man/man1 and, when
# built, the Python module (see python/CMakeLists.txt).
include(GNUInstallDirs)

set(KORVANE_PROGRAMS korvane korvane-eval)
if(TARGET korvane-fold)
  list(APPEND KORVANE_PROGRAMS korvane-fold)
endif()
install(TARGETS ${KORVANE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

file(GLOB KORVANE_DEFAULT_SET_FILES ${CMAKE_SOURCE_DIR}/dat/*.dat ${CMAKE_SOURCE_DIR}/dat/*.dh ${CMAKE_SOURCE_DIR}/dat/README.md)
install(FILES ${KORVANE_DEFAULT_SET_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/turner1999)
foreach(marker ${KORVANE_EXTRA_SET_MARKERS})
  get_filename_component(folder ${marker} DIRECTORY)
  get_filename_component(setName ${folder} NAME)
  install(DIRECTORY ${folder}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/${setName})
endforeach()

# The batch program has no --help to generate a page from; its page is written by hand.
configure_file(${CMAKE_SOURCE_DIR}/man/korvane.1.in ${CMAKE_BINARY_DIR}/man/korvane.1 @ONLY)
set(KORVANE_MAN_PAGES ${CMAKE_BINARY_DIR}/man/korvane.1)
find_program(KORVANE_HELP2MAN help2man)
if(KORVANE_HELP2MAN)
  set(KORVANE_MAN_SUMMARY_korvane-fold "predict RNA secondary structures of FASTA records")
  set(KORVANE_MAN_SUMMARY_korvane-eval "free energy of given RNA secondary structures")
  foreach(program korvane-fold korvane-eval)
    if(TARGET ${program})
      set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
      add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${KORVANE_HELP2MAN} --no-info --name=${KORVANE_MAN_SUMMARY_${program}} --output=${page} $<TARGET_FILE:${program}>
        DEPENDS ${program}
        COMMENT "Writing the manual page of ${program}"
        VERBATIM)
      list(APPEND KORVANE_MAN_PAGES ${page})
      list(APPEND KORVANE_GENERATED_PAGES ${page})
    endif()
  endforeach()
  add_custom_target(korvane_man_pages ALL DEPENDS ${KORVANE_GENERATED_PAGES})
else()
  message(STATUS "help2man not found: only the manual page of korvane is installed (install help2man)")
endif()
install(FILES ${KORVANE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(KORVANE_TESTS)
  set(KORVANE_INSTALL_TEST_PYTHON "")
  if(KORVANE_PYTHON)
    set(KORVANE_INSTALL_TEST_PYTHON ${Python_EXECUTABLE})
  endif()
  add_test(NAME installation
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/installTest.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} "${KORVANE_INSTALL_TEST_PYTHON}")
endif()
