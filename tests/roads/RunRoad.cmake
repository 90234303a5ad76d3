# Runs one road test: kavro --script SCRIPT on a home made empty for this run; pictures the script
# takes go into the home's "out" folder.
file(REMOVE_RECURSE ${HOME})
file(MAKE_DIRECTORY ${HOME}/out)
execute_process(COMMAND ${KAVRO} --home ${HOME} --out ${HOME}/out --script ${SCRIPT} RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "road ${SCRIPT} failed (exit ${code})")
endif()
file(REMOVE_RECURSE ${HOME})
