# SPDX-License-Identifier: Apache-2.0
# Runs the configure-time IPv6 endpoint check on values that must pass and
# values that must be refused, each in its own cmake process (the check stops
# the process with FATAL_ERROR), and fails when one is judged wrongly.
set(_accepted "2001:db8::10" "::" "::1" "fe80::1" "2001:db8:1:2:3:4:5:6" "::ffff:192.0.2.1"
              "1:2:3:4:5:6:1.2.3.4" "1:2:3:4:5:6:7::" "FE80::A")
set(_refused "203.0.113.1" "2001:db8:::1" "1:2:3:4:5:6:7:8:9" "1::2::3" ":1::2" "1::2:" "12345::1"
             "g::1" "1:2:3:4:5:6:7" "::1.2.3.256" "1:2:3:4:5:6:7::8" "fe80::1%eth0" "2001:db8::/64" "x")
set(_failed "")
foreach(_kind accepted refused)
  foreach(_value IN LISTS _${_kind})
    execute_process(COMMAND ${CMAKE_COMMAND} -DCHECKS=${CHECKS} -DVALUE=${_value} -P ${CMAKE_CURRENT_LIST_DIR}/ipv6_endpoint_one.cmake
                    RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
    if(_kind STREQUAL "accepted" AND NOT _rc EQUAL 0)
      list(APPEND _failed "refused ${_value}: ${_err}")
    elseif(_kind STREQUAL "refused" AND (_rc EQUAL 0 OR NOT _err MATCHES "TARVOLIN_TRIAL6 must be an IPv6 address"))
      list(APPEND _failed "accepted ${_value} (or did not name the variable)")
    endif()
  endforeach()
endforeach()
if(_failed)
  message(FATAL_ERROR "IPv6 endpoint check wrong:\n${_failed}")
endif()
