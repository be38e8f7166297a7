# relaybox_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [TIMEOUT <s>])
# A QtTest executable registered with ctest. Tests run headless and find the simulator beside them.
function(relaybox_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;RELAYBOX_BIN_DIR=${CMAKE_BINARY_DIR}/bin")
    if("thread" IN_LIST ARG_LABELS)
        set_property(GLOBAL APPEND PROPERTY RELAYBOX_THREAD_TESTS ${name})
    endif()
endfunction()

# The programs of every test labelled "thread", for the ThreadSanitizer build. Call once, after
# every test folder was added.
function(relaybox_add_thread_tests_target)
    get_property(tests GLOBAL PROPERTY RELAYBOX_THREAD_TESTS)
    add_custom_target(thread-tests)
    if(tests)
        add_dependencies(thread-tests ${tests})
    endif()
endfunction()
