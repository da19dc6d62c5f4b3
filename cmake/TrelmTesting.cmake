include(GoogleTest)

# trelm_test(<name> SOURCES ... [LIBS ...] [QT] [TIMEOUT seconds])
# A GoogleTest binary registered with ctest; every test gets a timeout. Like a
# program it sees its own folder's headers and those of the libraries in LIBS.
# QT tests run on the offscreen platform with a QApplication and are labelled "qt";
# the others are labelled "noqt" (the ThreadSanitizer build runs only those).
function(trelm_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(T_QT AND NOT TRELM_WITH_QT)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  _trelm_own_sources(${name} ${T_SOURCES})
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    _trelm_layer(${name} PRIVATE TRUE ${T_LIBS} trelm_test_support_qt)
    set(label qt)
  else()
    _trelm_layer(${name} PRIVATE FALSE ${T_LIBS} trelm_test_support GTest::gtest_main)
    set(label noqt)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${label})
endfunction()
