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
#               [PCH <set>] DEPS <target>...)
# Builds bin/<name> from the test sources of the folders (minus the EXCLUDEd
# folders and files) and the single FILES, and registers each test case with
# CTest; every case runs in a process of its own with a private HOME/TMPDIR
# (see tests/support/TestMain.cpp). The sources start from the precompiled
# headers of the set (default "test": GoogleTest and the standard library),
# shared by the suites of that set.
function(qm_test_suite name)
  cmake_parse_arguments(A "" "PCH" "DIRS;DEPS;EXCLUDE;FILES" ${ARGN})
  qm_gather_sources(srcs RECURSE DIRS ${A_DIRS} PATTERNS *.cpp *.h EXCLUDE ${A_EXCLUDE} FILES ${A_FILES})
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE qm_testsupport ${A_DEPS})
  qm_warnings(${name})
  if(NOT A_PCH)
    set(A_PCH test)
  endif()
  qm_precompile_shared(${name} ${A_PCH} LINKS qm_testsupport)
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

# Precompiled headers: the standard, Eigen, Qt and GoogleTest headers most
# sources include take about half of each compile when parsed anew in every
# source. A set holds only headers that change nothing for a source that did
# not include them itself; the Qt keyword macros (signals, slots, emit) are
# therefore only in the sets of folders whose code lives with Qt anyway.
# Off by default so that switching it never rebuilds a working folder by
# surprise; the test run (scripts/test) and the fuzz build turn it on.
option(QM_PRECOMPILE_HEADERS "Precompile the headers most sources include" OFF)
set(QM_PCH_std <algorithm> <array> <atomic> <cmath> <cstdint> <cstring> <functional> <limits> <map>
    <memory> <stdexcept> <string> <utility> <vector>)
set(QM_PCH_eigen ${QM_PCH_std} <Eigen/Dense>)
set(QM_PCH_qtcore ${QM_PCH_std} <QByteArray> <QString>)
set(QM_PCH_qt ${QM_PCH_std} <QObject> <QString> <QStringList> <QFile> <QFileInfo> <QDir> <QCoreApplication>
    <QApplication> <QWidget> <QPainter> <QImage> <QTimer>)
set(QM_PCH_test ${QM_PCH_std} <random> <gtest/gtest.h>)
set(QM_PCH_testqt ${QM_PCH_test} ${QM_PCH_qt})

# qm_precompile(<target> <set>): the target's C++ sources start with the
# headers of QM_PCH_<set>, compiled once for the target.
function(qm_precompile target set)
  if(NOT QM_PRECOMPILE_HEADERS OR NOT TARGET ${target})
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  set(headers)
  foreach(h ${QM_PCH_${set}})
    list(APPEND headers "$<$<COMPILE_LANGUAGE:CXX>:${h}>")
  endforeach()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()

# qm_precompile_shared(<target> <set> LINKS <lib>...): as qm_precompile, but
# every target of the same set shares one compile of the headers, made by
# qm_pch_<set> (which takes its flags from LINKS; the targets sharing it must
# compile with the same flags). GCC alone accepts a precompiled header among
# targets whose definitions differ in macros the headers never read; other
# compilers get one per target.
function(qm_precompile_shared target set)
  cmake_parse_arguments(A "" "" "LINKS" ${ARGN})
  if(NOT QM_PRECOMPILE_HEADERS)
    return()
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    qm_precompile(${target} ${set})
    return()
  endif()
  if(NOT TARGET qm_pch_${set})
    set(src ${CMAKE_CURRENT_BINARY_DIR}/qm_pch_${set}.cpp)
    file(CONFIGURE OUTPUT ${src} CONTENT "// The precompiled ${set} headers are made with this source's flags.\n")
    add_library(qm_pch_${set} OBJECT ${src})
    set_target_properties(qm_pch_${set} PROPERTIES AUTOMOC OFF)
    target_link_libraries(qm_pch_${set} PRIVATE ${A_LINKS})
    qm_precompile(qm_pch_${set} ${set})
  endif()
  target_precompile_headers(${target} REUSE_FROM qm_pch_${set})
endfunction()
