# cmake -DWEB_DIR=<web-ui/dist> -P GzipWebUi.cmake: a gzip copy beside each text file of the browser app
# (file.gz), made again when the file is newer, removed when the file is gone. The player sends the copy
# to browsers that accept gzip while it is not older than its file.
file(GLOB_RECURSE sources LIST_DIRECTORIES false "${WEB_DIR}/*.html" "${WEB_DIR}/*.js" "${WEB_DIR}/*.css" "${WEB_DIR}/*.svg" "${WEB_DIR}/*.json" "${WEB_DIR}/*.map")
foreach(source IN LISTS sources)
  if(NOT EXISTS "${source}.gz" OR "${source}" IS_NEWER_THAN "${source}.gz")
    # -n: no name or time inside, so the same file always gives the same copy.
    execute_process(COMMAND gzip -9 -n -c "${source}" OUTPUT_FILE "${source}.gz.part" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "gzip failed on ${source}")
    endif()
    file(RENAME "${source}.gz.part" "${source}.gz")
  endif()
endforeach()
file(GLOB_RECURSE copies LIST_DIRECTORIES false "${WEB_DIR}/*.gz")
foreach(copy IN LISTS copies)
  string(REGEX REPLACE "\\.gz$" "" original "${copy}")
  if(NOT EXISTS "${original}")
    file(REMOVE "${copy}")
  endif()
endforeach()
