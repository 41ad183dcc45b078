# orativo_library(NAME [PUBLIC libs...] [PRIVATE libs...])
# One static library made of the .cpp/.h files of the calling folder (not its sub-folders).
# Files are globbed so that parallel work on one folder never fights over a source list.
function(orativo_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(sources ${ARG_SOURCES})
  else()
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  endif()
  set(compiled ${sources})
  list(FILTER compiled INCLUDE REGEX "\\.cpp$")
  if(compiled)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    # Nothing to compile yet: an interface library keeps the dependency graph whole.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_PUBLIC})
  endif()
endfunction()

# orativo_test(NAME libs...) : one GoogleTest program of the calling tests/ folder, cases registered one by one.
function(orativo_test name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} orativo_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    # One variable only: CMake 3.25 splits a list here into separate properties, losing all
    # but the first; test_main.cpp sets QT_QPA_PLATFORM=offscreen itself.
    PROPERTIES ENVIRONMENT "ORATIVO_TEST_TOOLS=${PROJECT_BINARY_DIR}/tools")
endfunction()

# orativo_fuzzer(NAME source libs...) : a libFuzzer target, built only with ORATIVO_FUZZ.
function(orativo_fuzzer name source)
  if(ORATIVO_FUZZ AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
endfunction()
