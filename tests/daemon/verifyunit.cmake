# Checks relayboxd's systemd unit with systemd-analyze verify, pointed at the built program.
# cmake -DANALYZE=<systemd-analyze> -DUNIT=<relayboxd.service> -DDAEMON=<relayboxd>
#       -DOUT=<scratch folder> -P verifyunit.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${UNIT}" unit)
string(FIND "${unit}" "ExecStart=/usr/sbin/relayboxd " at)
if(at EQUAL -1)
    message(FATAL_ERROR "the unit does not start /usr/sbin/relayboxd")
endif()
string(REPLACE "/usr/sbin/relayboxd" "${DAEMON}" unit "${unit}")
file(MAKE_DIRECTORY "${OUT}")
file(WRITE "${OUT}/relayboxd.service" "${unit}")
execute_process(COMMAND "${ANALYZE}" verify --man=no "${OUT}/relayboxd.service"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify (${result}):\n${output}")
endif()
