# add_unit_test(NAME name SOURCES ... LIBRARIES ... [GUI])
# Builds one GoogleTest executable and registers its tests with CTest. GUI tests run under xvfb-run
# when no display is present.
find_package(GTest)

function(add_unit_test)
    cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gtest_main Threads::Threads)
    target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    if(T_GUI)
        add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/run-under-x.sh $<TARGET_FILE:${T_NAME}>)
        set_tests_properties(${T_NAME} PROPERTIES LABELS gui RUN_SERIAL TRUE TIMEOUT 600)
    else()
        include(GoogleTest)
        gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
    endif()
endfunction()
