# Checks the layering of src/: no include runs from a lower layer to a higher one, and third-party
# libraries are included only by the layers that wrap them. Run by the build before anything is
# compiled (target layer_check) and by CTest:  cmake -DSOURCE_DIR=<repository root> -P tools/check_layers.cmake
#
# The layers, top-down: app, web, scheduling, audio, storage and remote (side by side, neither includes
# the other), http, core, model. A file may include its own layer's headers and those of any layer below
# it, but for a layer that names the only layers it may include (LAYER_ONLY_<layer>).
cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)
set(LAYER_RANK_app 7)
set(LAYER_RANK_web 6)
set(LAYER_RANK_scheduling 5)
set(LAYER_RANK_audio 4)
set(LAYER_RANK_storage 3)
set(LAYER_RANK_remote 3)
set(LAYER_RANK_http 2)
set(LAYER_RANK_core 1)
set(LAYER_RANK_model 0)
# The HTTP transport knows nothing of bells or records: core's files and paths, and its libraries.
set(LAYER_ONLY_http core)

# Third-party headers that only some layers may include: <prefix of the include>=<layers allowed>.
set(THIRD_PARTY_RULES
  "httplib.h=remote"
  "boost/=http"
  "taglib/=audio"
  "openssl/=model,http"  # digests in model; TLS is the transport's
  "CLI/=app"
  "systemd/=app,core"
  "prometheus/=web"  # the metrics' format is the interface's
  "curl/=remote"  # the alerts' webhook and mail
  "zip.h=storage")  # libzip, for the backup archive

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<repository root> -P check_layers.cmake")
endif()

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
set(violations "")
foreach(source ${sources})
  string(REGEX MATCH "^[^/]+" layer "${source}")
  if(NOT DEFINED LAYER_RANK_${layer})
    list(APPEND violations "src/${source}: folder '${layer}' is not a known layer")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/src/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" included "${line}")
    if(line MATCHES "#[ \t]*include[ \t]*\"")
      string(REGEX MATCH "^[^/]+" target "${included}")
      if(included MATCHES "\\.\\.")
        list(APPEND violations "src/${source}: includes \"${included}\" through a parent folder")
      elseif(NOT included MATCHES "/")
        list(APPEND violations "src/${source}: includes \"${included}\" without its layer folder")
      elseif(NOT DEFINED LAYER_RANK_${target})
        list(APPEND violations "src/${source}: includes \"${included}\" from outside src/")
      elseif(NOT target STREQUAL layer AND NOT LAYER_RANK_${target} LESS LAYER_RANK_${layer})
        list(APPEND violations "src/${source}: ${layer} includes \"${included}\" from the layer ${target}, which is not below it")
      elseif(NOT target STREQUAL layer AND DEFINED LAYER_ONLY_${layer} AND NOT target IN_LIST LAYER_ONLY_${layer})
        list(APPEND violations "src/${source}: ${layer} includes \"${included}\"; it may include only ${LAYER_ONLY_${layer}}")
      endif()
    else()
      foreach(rule ${THIRD_PARTY_RULES})
        string(REGEX REPLACE "=.*$" "" prefix "${rule}")
        string(REGEX REPLACE "^[^=]*=" "" allowedText "${rule}")
        string(FIND "${included}" "${prefix}" at)
        if(at EQUAL 0)
          string(REPLACE "," ";" allowedLayers "${allowedText}")
          list(FIND allowedLayers ${layer} found)
          if(found EQUAL -1)
            list(APPEND violations "src/${source}: <${included}> may be included only in ${allowedText}")
          endif()
        endif()
      endforeach()
    endif()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Layering violations:\n  ${text}")
endif()
