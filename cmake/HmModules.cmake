# Each module exports only its own headers: build/include/<target>/<folder>/<header> is a
# link to the header, and that tree is the module's include directory. So
# "engine/core/Log.h" resolves only in code whose module lists hm_core among its DEPS
# (directly or through another module). Every header also has a stand-in under
# build/include/unlisted, searched last (-idirafter), whose #error names the module to add:
#   error: #error "engine/events/EventManager.h is in hm_events: add hm_events to DEPS ..."
set(HM_INCLUDE_ROOT ${CMAKE_BINARY_DIR}/include)
set(HM_UNLISTED_INCLUDE ${HM_INCLUDE_ROOT}/unlisted)
add_compile_options(-idirafter ${HM_UNLISTED_INCLUDE})

# Links the headers of the current folder (and of the listed subfolders) into the
# include tree of <name>.
function(hm_export_headers name)
  set(tree ${HM_INCLUDE_ROOT}/${name})
  file(REMOVE_RECURSE ${tree})
  set(headers "")
  foreach(dir ${CMAKE_CURRENT_SOURCE_DIR} ${ARGN})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
    file(MAKE_DIRECTORY ${tree}/${rel} ${HM_UNLISTED_INCLUDE}/${rel})
    file(GLOB dir_headers CONFIGURE_DEPENDS ${dir}/*.h ${dir}/*.inl)
    list(APPEND headers ${dir_headers})
  endforeach()
  foreach(h ${headers})
    get_filename_component(file ${h} NAME)
    get_filename_component(dir ${h} DIRECTORY)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
    file(CREATE_LINK ${h} ${tree}/${rel}/${file} SYMBOLIC)
    set(stub "#error \"${rel}/${file} is in ${name}: add ${name} to DEPS in the CMakeLists.txt of the module (or test) that includes it\"\n")
    set(stub_path ${HM_UNLISTED_INCLUDE}/${rel}/${file})
    if(EXISTS ${stub_path})
      file(READ ${stub_path} old)
    else()
      set(old "")
    endif()
    if(NOT old STREQUAL stub)
      file(WRITE ${stub_path} "${stub}")
    endif()
  endforeach()
  set(${name}_INCLUDE_TREE ${tree} PARENT_SCOPE)
endfunction()

# hm_module(<name> DEPS <targets...> [SUBDIRS <folders...>]): a static library from the
# .cpp files of the current folder (and of the SUBDIRS, folders of the same module that
# hold no CMakeLists.txt of their own); its headers are included by their path from the
# repository root ("engine/core/StringHash.h") by itself and by the targets that depend
# on it.
function(hm_module name)
  cmake_parse_arguments(HM "" "" "DEPS;SOURCES;SUBDIRS" ${ARGN})
  set(subdirs "")
  foreach(d ${HM_SUBDIRS})
    list(APPEND subdirs ${CMAKE_CURRENT_SOURCE_DIR}/${d})
  endforeach()
  if(HM_SOURCES)
    set(srcs ${HM_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(d ${subdirs})
      file(GLOB dir_srcs CONFIGURE_DEPENDS ${d}/*.cpp)
      list(APPEND srcs ${dir_srcs})
    endforeach()
  endif()
  hm_export_headers(${name} ${subdirs})
  if(NOT srcs)
    # A module of headers only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${${name}_INCLUDE_TREE})
    target_link_libraries(${name} INTERFACE ${HM_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${${name}_INCLUDE_TREE})
  target_link_libraries(${name} PUBLIC ${HM_DEPS})
  if(HM_FUZZ_LIBFUZZER)
    # libFuzzer steers by the coverage of the code it reaches: every module is
    # instrumented (the third-party libraries are prebuilt and stay dark).
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# hm_test(<name> [GLOB] [SOURCES <files...>] DEPS <targets...> [GL] [GL_DRIVER] [SYSTEM_LEAKS]
#         [LABELS <labels...>] [TIMEOUT <seconds>, 300 when not given] [COST <n>]): one
# GoogleTest executable run by CTest from the repository root. CTest runs each test suite
# of a program in a process of its own ("<Suite>.*", cmake/HmTestSuites.cmake), and each
# case of a program that runs the GL driver (GL_DRIVER) in a process of its own: those cases
# are long, and one that wedges the driver spoils no other. A program run by hand runs all
# its cases in one process, so every case leaves the process as it found it.
# COST orders a clean run (CTest has no times of its own yet): higher starts earlier, so
# that the long tests do not start last and leave the other processors idle; a GL case
# counts 10 unless the program says otherwise, a suite its number of cases.
# There is one program per tested module, over every test file of its folder, plus one
# for the cases that run the GL driver: a test file joins its folder's program just by
# being there.
# GLOB: every *.cpp under the current folder and its subfolders, but for the GL cases
# (files named *GlTest.cpp and the SOURCES of the folder's other programs, which must
# come first).
# GL: GLOB's counterpart: the *GlTest.cpp files under the folder, with GL_DRIVER,
# SYSTEM_LEAKS and the label "gl".
# GL_DRIVER: the program runs the GL driver; SDL is shut down at exit so that the
# driver's threads have ended before the process does (tests/support/GlDriverExit.cpp).
# Any test that makes a GL context must say so. LeakSanitizer's stop-the-world tracer
# still crashed now and then at the exit of such a program under a loaded machine, so
# they take SYSTEM_LEAKS too; the recording device's tests keep the leak checks.
# SYSTEM_LEAKS turns leak detection off for tests that load GL drivers, whose leaks
# LeakSanitizer cannot attribute once the driver is unloaded.
# Test targets are named after the module they test, without "hm_", then "_gl" for the
# GL cases, then "_test": core_test, render_gl_test; the tests of the content generators
# under tools/ are tools_test.
function(hm_test name)
  cmake_parse_arguments(HM "GLOB;GL;SYSTEM_LEAKS;GL_DRIVER" "TIMEOUT;COST" "DEPS;SOURCES;LABELS" ${ARGN})
  if(NOT name MATCHES "^[a-z0-9_]+_test$" OR name MATCHES "^hm_")
    message(FATAL_ERROR "test target ${name}: name it <module>[_gl]_test, e.g. render_gl_test")
  endif()
  set(srcs)
  get_property(claimed DIRECTORY PROPERTY HM_TEST_CLAIMED)
  foreach(s ${HM_SOURCES})
    get_filename_component(s ${s} ABSOLUTE)
    if(s IN_LIST claimed)
      message(FATAL_ERROR "${name}: ${s} is in another test program of this folder already; "
                          "put the program that lists it before the one that globs")
    endif()
    list(APPEND srcs ${s})
  endforeach()
  if(HM_GLOB OR HM_GL)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(f ${found})
      if(f IN_LIST claimed OR f IN_LIST srcs)
        continue()
      endif()
      if(f MATCHES "GlTest\\.cpp$")
        if(HM_GL)
          list(APPEND srcs ${f})
        endif()
      elseif(HM_GLOB)
        list(APPEND srcs ${f})
      endif()
    endforeach()
  endif()
  set_property(DIRECTORY APPEND PROPERTY HM_TEST_CLAIMED ${srcs})
  if(NOT srcs)
    return()
  endif()
  if(HM_GL)
    set(HM_GL_DRIVER ON)
    set(HM_SYSTEM_LEAKS ON)
    list(APPEND HM_LABELS gl)
  endif()
  # A program of long cases may ask for more (TIMEOUT <seconds>).
  set(timeout 300)
  if(HM_TIMEOUT)
    set(timeout ${HM_TIMEOUT})
  endif()
  set(env "")
  if(HM_SYSTEM_LEAKS)
    set(env "ASAN_OPTIONS=detect_leaks=0:strict_string_checks=1")
  endif()
  if(HM_LABELS)
    list(REMOVE_DUPLICATES HM_LABELS)
  endif()
  if(HM_GL_DRIVER)
    list(APPEND HM_DEPS hm_gl_driver_exit)
  endif()
  add_executable(${name} ${srcs})
  target_compile_options(${name} PRIVATE ${HM_GLUE_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE ${HM_DEPS} hm_test_support hm_test_main GTest::gtest GTest::gmock)
  # gtest and the standard headers most tests use, compiled once for all the programs.
  target_precompile_headers(${name} REUSE_FROM hm_test_support)
  # Shared test support is included as "tests/<folder>/<header>"; modules come through DEPS.
  target_include_directories(${name} PRIVATE ${HM_INCLUDE_ROOT}/tests)
  target_compile_definitions(${name} PRIVATE HM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(HM_GL_DRIVER)
    set(props TIMEOUT ${timeout} COST 10)
    if(HM_COST)
      set(props TIMEOUT ${timeout} COST ${HM_COST})
    endif()
    if(env)
      list(APPEND props ENVIRONMENT "${env}")
    endif()
    if(HM_LABELS)
      list(APPEND props LABELS "${HM_LABELS}")
    endif()
    include(GoogleTest)
    gtest_discover_tests(${name}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES ${props})
    return()
  endif()
  # The suites are listed when CTest starts, as gtest_discover_tests(PRE_TEST) does, and
  # again only once the program has been rebuilt.
  set(ctest_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_suites.cmake)
  set(include_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_include.cmake)
  file(GENERATE OUTPUT ${include_file} CONTENT
"set(exe [==[$<TARGET_FILE:${name}>]==])
set(ctest_file [==[${ctest_file}]==])
if(EXISTS \"\${exe}\")
  if(NOT EXISTS \"\${ctest_file}\" OR
     NOT \"\${ctest_file}\" IS_NEWER_THAN \"\${exe}\" OR
     NOT \"\${ctest_file}\" IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\" OR
     NOT \"\${ctest_file}\" IS_NEWER_THAN [==[${PROJECT_SOURCE_DIR}/cmake/HmTestSuites.cmake]==])
    set(EXE \"\${exe}\")
    set(CTEST_FILE \"\${ctest_file}\")
    set(WORKDIR [==[${PROJECT_SOURCE_DIR}]==])
    set(PROGRAM [==[${name}]==])
    set(TIMEOUT [==[${timeout}]==])
    set(ENVIRONMENT [==[${env}]==])
    set(LABELS [==[${HM_LABELS}]==])
    include([==[${PROJECT_SOURCE_DIR}/cmake/HmTestSuites.cmake]==])
  endif()
  include(\"\${ctest_file}\")
else()
  add_test(${name}_NOT_BUILT ${name}_NOT_BUILT)
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include_file})
endfunction()

function(hm_bench name)
  cmake_parse_arguments(HM "" "" "DEPS;SOURCES" ${ARGN})
  add_executable(${name} ${HM_SOURCES})
  target_compile_options(${name} PRIVATE ${HM_GLUE_COMPILE_OPTIONS})
  target_link_libraries(${name} PRIVATE ${HM_DEPS} benchmark::benchmark benchmark::benchmark_main)
  # Benchmarks that read the game's data find it from wherever they are started.
  target_compile_definitions(${name} PRIVATE HM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()
