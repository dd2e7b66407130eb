# Shared build helpers: one static library per subsystem, one test
# executable per tested subsystem.

function(qm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# qm_subsystem_library(<name> [DIRS <dir>...] [RECURSE] [EXCLUDE <path>...]
#                      [FILES <file>...] [DEPS <target>...])
# Every .cpp/.c/.h inside the given folders (relative to the calling
# CMakeLists; with RECURSE also in their subfolders, except the EXCLUDEd
# folders and files, which belong to other libraries) makes up the library,
# together with the single FILES that live in a folder the library does not
# own; every folder that holds a header is on its public include path. With
# FILES and no DIRS the library is those files alone. A subsystem without
# sources yet is an interface library, so the others can already name it.
function(qm_subsystem_library name)
  cmake_parse_arguments(A "RECURSE" "" "DIRS;DEPS;EXCLUDE;FILES" ${ARGN})
  if(NOT A_DIRS AND NOT A_FILES)
    set(A_DIRS .)
  endif()
  set(srcs)
  set(incs)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    if(A_RECURSE)
      file(GLOB_RECURSE s CONFIGURE_DEPENDS ${abs}/*.cpp ${abs}/*.c ${abs}/*.h)
    else()
      file(GLOB s CONFIGURE_DEPENDS ${abs}/*.cpp ${abs}/*.c ${abs}/*.h)
    endif()
    foreach(ex ${A_EXCLUDE})
      get_filename_component(exabs ${ex} ABSOLUTE)
      list(FILTER s EXCLUDE REGEX "^${exabs}(/|$)")
    endforeach()
    list(APPEND srcs ${s})
    list(APPEND incs ${abs})
  endforeach()
  foreach(f ${A_FILES})
    get_filename_component(fabs ${f} ABSOLUTE)
    if(NOT EXISTS ${fabs})
      message(FATAL_ERROR "qm_subsystem_library(${name}): no file ${f}")
    endif()
    list(APPEND srcs ${fabs})
  endforeach()
  foreach(f ${srcs})
    if(f MATCHES "\\.h$")
      get_filename_component(fdir ${f} DIRECTORY)
      list(APPEND incs ${fdir})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES incs)
  set(code ${srcs})
  list(FILTER code INCLUDE REGEX "\\.(cpp|c)$")
  if(code)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${incs})
    target_link_libraries(${name} PUBLIC qm_common ${A_DEPS})
    qm_warnings(${name})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${incs})
    target_link_libraries(${name} INTERFACE qm_common ${A_DEPS})
  endif()
endfunction()

# qm_test_suite(<name> [DIRS <dir>...] [FILES <file>...] [EXCLUDE <path>...]
#               DEPS <target>...)
# Builds bin/<name> from the test sources of the folders (minus the EXCLUDEd
# folders and files) and the single FILES, and registers each test case with
# CTest; every case runs in a process of its own with a private HOME/TMPDIR
# (see tests/support/TestMain.cpp).
function(qm_test_suite name)
  cmake_parse_arguments(A "" "" "DIRS;DEPS;EXCLUDE;FILES" ${ARGN})
  set(srcs)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    file(GLOB_RECURSE s CONFIGURE_DEPENDS ${abs}/*.cpp ${abs}/*.h)
    foreach(ex ${A_EXCLUDE})
      get_filename_component(exabs ${ex} ABSOLUTE)
      list(FILTER s EXCLUDE REGEX "^${exabs}(/|$)")
    endforeach()
    list(APPEND srcs ${s})
  endforeach()
  foreach(f ${A_FILES})
    get_filename_component(fabs ${f} ABSOLUTE)
    list(APPEND srcs ${fabs})
  endforeach()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE qm_testsupport ${A_DEPS})
  qm_warnings(${name})
  # Tests read the generated bundle resources beside bin/, as the program does.
  foreach(resource EmptyStyle MetronomeSounds)
    if(TARGET ${resource})
      add_dependencies(${name} ${resource})
    endif()
  endforeach()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
endfunction()
