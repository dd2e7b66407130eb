# Shared build helpers: one static library per subsystem, one test
# executable per tested subsystem.

function(qm_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# qm_gather_sources(<out> [RECURSE] [DIRS <dir>...] [PATTERNS <glob>...]
#                   [EXCLUDE <path>...] [FILES <file>...])
# The files of the folders that match the patterns (with RECURSE also those
# of the subfolders), minus the EXCLUDEd folders and files, followed by the
# single FILES; every path relative to the calling CMakeLists.
function(qm_gather_sources out)
  cmake_parse_arguments(A "RECURSE" "" "DIRS;PATTERNS;EXCLUDE;FILES" ${ARGN})
  set(found)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    set(globs)
    foreach(p ${A_PATTERNS})
      list(APPEND globs ${abs}/${p})
    endforeach()
    if(A_RECURSE)
      file(GLOB_RECURSE s CONFIGURE_DEPENDS ${globs})
    else()
      file(GLOB s CONFIGURE_DEPENDS ${globs})
    endif()
    foreach(ex ${A_EXCLUDE})
      get_filename_component(exabs ${ex} ABSOLUTE)
      list(FILTER s EXCLUDE REGEX "^${exabs}(/|$)")
    endforeach()
    list(APPEND found ${s})
  endforeach()
  foreach(f ${A_FILES})
    get_filename_component(fabs ${f} ABSOLUTE)
    if(NOT EXISTS ${fabs})
      message(FATAL_ERROR "no file ${f} in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    list(APPEND found ${fabs})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
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
  set(recurse)
  if(A_RECURSE)
    set(recurse RECURSE)
  endif()
  qm_gather_sources(srcs ${recurse} DIRS ${A_DIRS} PATTERNS *.cpp *.c *.h EXCLUDE ${A_EXCLUDE} FILES ${A_FILES})
  set(incs)
  foreach(d ${A_DIRS})
    get_filename_component(abs ${d} ABSOLUTE)
    list(APPEND incs ${abs})
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
  qm_gather_sources(srcs RECURSE DIRS ${A_DIRS} PATTERNS *.cpp *.h EXCLUDE ${A_EXCLUDE} FILES ${A_FILES})
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
