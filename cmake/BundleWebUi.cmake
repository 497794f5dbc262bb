# cmake -DESBUILD=<esbuild> -DWEB_DIR=<web-ui/dist> -P BundleWebUi.cmake: the browser app's modules
# bundled into app.bundle.js (minified, with its source map). Any message of esbuild fails the build,
# as a compiler warning does: a duplicate key or an unused import is a mistake in the app.
execute_process(
  COMMAND "${ESBUILD}" app.js --bundle --format=esm --target=es2020 --minify --sourcemap --legal-comments=none
          --log-level=warning --color=false --outfile=app.bundle.js
  WORKING_DIRECTORY "${WEB_DIR}"
  RESULT_VARIABLE failed
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(failed OR NOT output STREQUAL "")
  file(REMOVE "${WEB_DIR}/app.bundle.js")
  message(FATAL_ERROR "esbuild could not bundle the browser app cleanly:\n${output}")
endif()
