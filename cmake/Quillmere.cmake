# Shared build helpers: one static library per subsystem, one test
# executable per tested subsystem.

function(qm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# qm_subsystem_library(<name> DIRS <dir>... [DEPS <target>...])
# Every .cpp/.h directly inside the given folders (relative to the calling
# CMakeLists) belongs to the library; the folders are its public include path.
function(qm_subsystem_library name)
  cmake_parse_arguments(A "" "" "DIRS;DEPS" ${ARGN})
  if(NOT A_DIRS)
    set(A_DIRS .)
  endif()
  set(srcs)
  set(incs)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    file(GLOB s CONFIGURE_DEPENDS ${abs}/*.cpp ${abs}/*.c ${abs}/*.h)
    list(APPEND srcs ${s})
    list(APPEND incs ${abs})
  endforeach()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${incs})
  target_link_libraries(${name} PUBLIC qm_common ${A_DEPS})
  qm_warnings(${name})
endfunction()

# qm_test_suite(<name> DIRS <dir>... DEPS <target>...)
# Builds bin/<name> from the test sources of the folders and registers each
# test case with CTest; every case runs in a process of its own with a
# private HOME/TMPDIR (see tests/support/TestMain.cpp).
function(qm_test_suite name)
  cmake_parse_arguments(A "" "" "DIRS;DEPS" ${ARGN})
  set(srcs)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    file(GLOB s CONFIGURE_DEPENDS ${abs}/*.cpp ${abs}/*.h)
    list(APPEND srcs ${s})
  endforeach()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE qm_testsupport ${A_DEPS})
  qm_warnings(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()
