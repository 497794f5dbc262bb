# The version of a build: the project's VERSION on a commit tagged v<VERSION>, else <VERSION>+g<commit>
# with the abbreviated commit of the source tree; <VERSION> alone outside a git repository.
#
# Included, it defines quorvane_version(). Run as a script (by every build, so that a new commit
# changes it without configuring again), it writes the version to OUTPUT when it differs:
#   cmake -DBASE=1.0.0 -DSOURCE_DIR=<repository root> -DOUTPUT=<file> -P cmake/QuorvaneVersion.cmake

function(quorvane_version out base source_dir)
  set(version "${base}")
  find_program(QUORVANE_GIT git)
  if(QUORVANE_GIT)
    execute_process(COMMAND ${QUORVANE_GIT} -C ${source_dir} rev-parse --short=10 HEAD
                    RESULT_VARIABLE failed OUTPUT_VARIABLE commit ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT failed)
      execute_process(COMMAND ${QUORVANE_GIT} -C ${source_dir} tag --points-at HEAD --list v${base}
                      OUTPUT_VARIABLE tag ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(NOT tag STREQUAL "v${base}")
        set(version "${base}+g${commit}")
      endif()
    endif()
  endif()
  set(${out} "${version}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  quorvane_version(version "${BASE}" "${SOURCE_DIR}")
  set(previous "")
  if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" previous)
  endif()
  # Rewritten only when it changes, so that the install and the package see a stable file.
  if(NOT previous STREQUAL "${version}\n")
    file(WRITE "${OUTPUT}" "${version}\n")
  endif()
endif()
