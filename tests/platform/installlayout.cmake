# Installs a build into a scratch prefix and checks that exactly the programs, the icons and the
# desktop entry land where a desktop looks for them.
# cmake -DBUILD_DIR=<build> -DSTAGE=<scratch folder> -P installlayout.cmake
cmake_minimum_required(VERSION 3.25)

set(expected
    bin/relaybox
    bin/relaybox-cli
    bin/relaybox-ports
    bin/relaybox-sim
    lib/systemd/system/relayboxd.service
    sbin/relayboxd
    share/applications/relaybox.desktop
    share/doc/relaybox/changelog.gz
    share/doc/relaybox/copyright
    share/doc/relaybox/examples/relayboxd.conf
    share/icons/hicolor/256x256/apps/relaybox.png
    share/icons/hicolor/scalable/apps/relaybox.svg
    share/man/man8/relayboxd.8.gz
)

file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()

file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${STAGE}" "${STAGE}/*")
list(SORT installed)
if(NOT installed STREQUAL expected)
    message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

foreach(program relaybox relaybox-cli relaybox-ports relaybox-sim)
    execute_process(COMMAND test -x "${STAGE}/bin/${program}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "bin/${program} is not executable")
    endif()
endforeach()

file(STRINGS "${STAGE}/share/applications/relaybox.desktop" entry)
foreach(line "Name=KESTRANE Relaybox Management" "Exec=relaybox" "Icon=relaybox" "Terminal=false")
    if(NOT line IN_LIST entry)
        message(FATAL_ERROR "relaybox.desktop lacks the line ${line}")
    endif()
endforeach()

file(REMOVE_RECURSE "${STAGE}")
