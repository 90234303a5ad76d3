# Runs one road test: kavro --script SCRIPT on a home made empty for this run; pictures the script
# takes go into the home's "out" folder. A script whose first line is "# api: URL" runs against that
# API host instead of the demo server (roads of a failing network).
file(REMOVE_RECURSE ${HOME})
file(STRINGS ${SCRIPT} first LIMIT_COUNT 1)
set(api)
if(first MATCHES "^# api: (.+)$")
  set(api --api ${CMAKE_MATCH_1})
endif()
file(MAKE_DIRECTORY ${HOME}/out)
execute_process(COMMAND ${KAVRO} --home ${HOME} --out ${HOME}/out --script ${SCRIPT} ${api} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "road ${SCRIPT} failed (exit ${code})")
endif()
file(REMOVE_RECURSE ${HOME})
