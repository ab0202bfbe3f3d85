# hm_module(<name> DEPS <targets...>): a static library from the .cpp files of the
# current folder; headers are included from the repository root
# ("engine/core/StringHash.h").
function(hm_module name)
  cmake_parse_arguments(HM "" "" "DEPS;SOURCES" ${ARGN})
  if(HM_SOURCES)
    set(srcs ${HM_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT srcs)
    # A module of headers only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${HM_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${HM_DEPS})
endfunction()

# hm_test(<name> SOURCES <files...> DEPS <targets...> [SYSTEM_LEAKS]): one GoogleTest
# executable whose cases are registered one by one in CTest, run from the repository root.
# SYSTEM_LEAKS turns leak detection off for tests that load GL drivers, whose leaks
# LeakSanitizer cannot attribute once the driver is unloaded.
function(hm_test name)
  cmake_parse_arguments(HM "SYSTEM_LEAKS" "" "DEPS;SOURCES;LABELS" ${ARGN})
  set(props TIMEOUT 300)
  if(HM_SYSTEM_LEAKS)
    list(APPEND props ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:strict_string_checks=1")
  endif()
  if(HM_LABELS)
    list(APPEND props LABELS "${HM_LABELS}")
  endif()
  add_executable(${name} ${HM_SOURCES})
  target_link_libraries(${name} PRIVATE ${HM_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE HM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  include(GoogleTest)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

function(hm_bench name)
  cmake_parse_arguments(HM "" "" "DEPS;SOURCES" ${ARGN})
  add_executable(${name} ${HM_SOURCES})
  target_link_libraries(${name} PRIVATE ${HM_DEPS} benchmark::benchmark benchmark::benchmark_main)
  # Benchmarks that read the game's data find it from wherever they are started.
  target_compile_definitions(${name} PRIVATE HM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()
