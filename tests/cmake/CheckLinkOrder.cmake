# Checks that the libraries link one way, from the bottom up.
#
#   cmake -DSOURCE_DIR=<tree> -DWORK_DIR=<scratch folder> [-DGRAPH=<dot file>]
#         -P CheckLinkOrder.cmake
#
# Configures the tree in WORK_DIR with the tests on and reads the link graph
# CMake writes with --graphviz; with -DGRAPH=<dot file> it reads a graph
# written before instead (of a bench or fuzz configuration, say). Fails when
#  - one of our libraries has no layer below,
#  - a library links one of a higher layer,
#  - the libraries link in a circle (within a layer too),
#  - a test suite links more than its own library and what that one links,
#  - the program links anything but the main window's library.
cmake_minimum_required(VERSION 3.20)

# The layers from the bottom; a library may link only its own layer and the
# ones before it. Test support sits at the bottom so that linking it never
# brings a subsystem into another's tests; beside it the owners of the test
# suites' shared precompiled headers, which link it alone.
set(layers
  "qm_common"
  "qm_testsupport;qm_pch_test;qm_pch_testqt;qmsettings"
  "mzcommon"
  "beat"
  "kelo"
  "rubeato"
  "smf;audiostyle;timestretch"
  "astcore"
  "qmaudio"
  "qmappbase"
  "qmui"
  "qmapp")

# Each suite and the library it tests. A suite that runs a library with the
# layers above it (an integration test) names the highest one it needs.
set(suites
  common_tests=qm_common
  mzcommon_tests=mzcommon
  beat_tests=beat
  kelo_tests=kelo
  rubeato_tests=rubeato
  smf_tests=smf
  audiostyle_tests=audiostyle
  timestretch_tests=timestretch
  astcore_tests=astcore
  astcore_integration_tests=qmaudio
  audio_tests=qmaudio
  ui_tests=qmui
  app_tests=qmapp)

set(program Quillmere)
set(program_library qmapp)

if(NOT GRAPH)
  if(NOT SOURCE_DIR OR NOT WORK_DIR)
    message(FATAL_ERROR "CheckLinkOrder: SOURCE_DIR and WORK_DIR are needed")
  endif()
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  # One graph for the whole tree, not one file per target.
  file(WRITE ${WORK_DIR}/CMakeGraphVizOptions.cmake
       "set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)\nset(GRAPHVIZ_GENERATE_DEPENDERS FALSE)\n")
  set(GRAPH ${WORK_DIR}/links.dot)
  set(generator)
  if(GENERATOR)
    set(generator -G ${GENERATOR})
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} ${generator}
            -DQM_BUILD_TESTS=ON -DQM_BUILD_BENCH=OFF -DQM_BUILD_FUZZ=OFF --graphviz=${GRAPH}
    RESULT_VARIABLE configured
    OUTPUT_VARIABLE configure_log
    ERROR_VARIABLE configure_log)
  if(NOT configured EQUAL 0 OR NOT EXISTS ${GRAPH})
    message(FATAL_ERROR "CheckLinkOrder: the tree does not configure:\n${configure_log}")
  endif()
endif()

# The graph: nodes name a target and its kind (the shape), edges carry both
# ends' names in a trailing comment.
file(STRINGS ${GRAPH} lines)
set(libraries)
set(executables)
set(edges)
foreach(line IN LISTS lines)
  if(line MATCHES "^ *\"node[0-9]+\" \\[ label = \"([^\"]+)\", shape = ([a-z]+) \\];")
    set(name ${CMAKE_MATCH_1})
    set(shape ${CMAKE_MATCH_2})
    # Imported targets (Qt5::Core, Boost::boost) and plain files are not ours.
    if(name MATCHES "::|/")
      continue()
    endif()
    if(shape MATCHES "^(octagon|doubleoctagon|tripleoctagon|pentagon|hexagon)$")
      list(APPEND libraries ${name})
    elseif(shape STREQUAL "egg")
      list(APPEND executables ${name})
    endif()
  elseif(line MATCHES "\"node[0-9]+\" -> \"node[0-9]+\".*// (.+) -> (.+)$")
    list(APPEND edges "${CMAKE_MATCH_1}>${CMAKE_MATCH_2}")
  endif()
endforeach()
if(NOT libraries)
  message(FATAL_ERROR "CheckLinkOrder: no libraries in ${GRAPH}")
endif()

set(faults)
macro(fault text)
  list(APPEND faults "${text}")
endmacro()

# Layer of every library we know.
set(index 0)
foreach(layer IN LISTS layers)
  string(REPLACE ";" " " names "${layer}")
  separate_arguments(names)
  foreach(lib IN LISTS names)
    set(layer_of_${lib} ${index})
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()
foreach(lib IN LISTS libraries)
  if(NOT DEFINED layer_of_${lib})
    fault("library ${lib} has no layer in tests/cmake/CheckLinkOrder.cmake")
  endif()
endforeach()

# Links among our targets only.
foreach(target IN LISTS libraries executables)
  set(links_of_${target})
endforeach()
foreach(edge IN LISTS edges)
  string(REPLACE ">" ";" ends "${edge}")
  list(GET ends 0 from)
  list(GET ends 1 to)
  if(to IN_LIST libraries AND (from IN_LIST libraries OR from IN_LIST executables))
    list(APPEND links_of_${from} ${to})
  endif()
endforeach()

# No library links a higher layer.
foreach(lib IN LISTS libraries)
  if(NOT DEFINED layer_of_${lib})
    continue()
  endif()
  foreach(to IN LISTS links_of_${lib})
    if(DEFINED layer_of_${to} AND layer_of_${to} GREATER layer_of_${lib})
      fault("${lib} links ${to}, a library above it")
    endif()
  endforeach()
endforeach()

# No circle: peel off the libraries that link nothing left, then those that
# nothing left links; whatever remains lies on a circle.
set(left ${libraries})
foreach(direction out in)
  set(peeled TRUE)
  while(peeled)
    set(peeled FALSE)
    set(next)
    foreach(lib IN LISTS left)
      set(blocked FALSE)
      foreach(other IN LISTS left)
        if(direction STREQUAL "out")
          set(from ${lib})
          set(to ${other})
        else()
          set(from ${other})
          set(to ${lib})
        endif()
        if(NOT from STREQUAL to AND to IN_LIST links_of_${from})
          set(blocked TRUE)
          break()
        endif()
      endforeach()
      if(blocked)
        list(APPEND next ${lib})
      else()
        set(peeled TRUE)
      endif()
    endforeach()
    set(left ${next})
  endwhile()
endforeach()
if(left)
  string(REPLACE ";" " " names "${left}")
  fault("the libraries link in a circle: ${names}")
endif()

# What a library reaches through its links.
function(reach lib out)
  set(seen)
  set(todo ${lib})
  while(todo)
    list(POP_FRONT todo current)
    foreach(to IN LISTS links_of_${current})
      if(NOT to IN_LIST seen)
        list(APPEND seen ${to})
        list(APPEND todo ${to})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Each suite links its library, test support and nothing above.
set(known_suites)
foreach(entry IN LISTS suites)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 suite)
  list(GET pair 1 lib)
  list(APPEND known_suites ${suite})
  if(NOT suite IN_LIST executables)
    continue()
  endif()
  reach(${lib} allowed)
  list(APPEND allowed ${lib} qm_testsupport qm_pch_test qm_pch_testqt)
  foreach(to IN LISTS links_of_${suite})
    if(NOT to IN_LIST allowed)
      fault("${suite} links ${to}, which ${lib} does not link")
    endif()
  endforeach()
endforeach()
foreach(exe IN LISTS executables)
  if(exe MATCHES "_tests$" AND NOT exe IN_LIST known_suites)
    fault("test suite ${exe} names no library in tests/cmake/CheckLinkOrder.cmake")
  endif()
endforeach()

if(program IN_LIST executables)
  foreach(to IN LISTS links_of_${program})
    if(NOT to STREQUAL program_library)
      fault("${program} links ${to} besides ${program_library}")
    endif()
  endforeach()
endif()

if(faults)
  string(REPLACE ";" "\n  " text "${faults}")
  message(FATAL_ERROR "The libraries do not link one way:\n  ${text}")
endif()
list(LENGTH libraries count)
message(STATUS "${count} libraries link one way")
