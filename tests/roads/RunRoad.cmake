# Runs one road test: kavro --script SCRIPT on a home made empty for this run; pictures the script
# takes go into the home's "out" folder. A script whose first line is "# api: URL" runs against that
# API host instead of the demo server (roads of a failing network). SCRIPT may name several scripts
# separated by "|": they run one after the other on the same home, as a person's sessions do.
file(REMOVE_RECURSE ${HOME})
file(MAKE_DIRECTORY ${HOME}/out)
string(REPLACE "|" ";" scripts "${SCRIPT}")
foreach(script IN LISTS scripts)
  file(STRINGS ${script} first LIMIT_COUNT 1)
  set(api)
  if(first MATCHES "^# api: (.+)$")
    set(api --api ${CMAKE_MATCH_1})
  endif()
  execute_process(COMMAND ${KAVRO} --home ${HOME} --out ${HOME}/out --script ${script} ${api} RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "road ${script} failed (exit ${code})")
  endif()
endforeach()
file(REMOVE_RECURSE ${HOME})
