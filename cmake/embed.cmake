# Compiles the eleven configuration sources of dist/ into vesk_lib: each as standard base64 of one
# gzip member, in the order Defaults expects. The generated file is rebuilt when a source changes.
set(VESK_DIST_ASSETS
  .tmux.conf
  .tmux.conf.local
  confs/conf.prefix
  confs/conf.common
  confs/conf.session
  confs/conf.window
  confs/conf.codex
  confs/conf.macos
  confs/conf.linux
  confs/conf.lab
  confs/conf.plugins)

set(VESK_EMBED_OUTPUT ${CMAKE_BINARY_DIR}/generated/embedded_assets.cpp)
set(VESK_EMBED_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/embed_assets.cmake)
foreach(asset ${VESK_DIST_ASSETS})
  list(APPEND VESK_EMBED_DEPENDS ${PROJECT_SOURCE_DIR}/dist/${asset})
endforeach()
string(REPLACE ";" "|" VESK_EMBED_LIST "${VESK_DIST_ASSETS}")

add_custom_command(
  OUTPUT ${VESK_EMBED_OUTPUT}
  COMMAND ${CMAKE_COMMAND}
          -DDIST_DIR=${PROJECT_SOURCE_DIR}/dist
          "-DASSETS=${VESK_EMBED_LIST}"
          -DOUTPUT=${VESK_EMBED_OUTPUT}
          -P ${PROJECT_SOURCE_DIR}/cmake/embed_assets.cmake
  DEPENDS ${VESK_EMBED_DEPENDS}
  COMMENT "Embedding the configuration sources of dist/"
  VERBATIM)

target_sources(vesk_lib PRIVATE ${VESK_EMBED_OUTPUT})
