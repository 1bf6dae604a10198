# add_web_program: a program on the engine, with its bundle, as a site of its own for a phone's
# browser, laid out as the soundboard's: the page, its manifest, the loader, the audio worklet,
# the bundle in one pack and the service worker. In a build made with emcmake (make web).
#
#   add_web_program(TARGET SOURCES file...
#     SITE dir                  where the site goes, under the build
#     BUNDLE dir                the native build's bundle (its bin/)
#     [BUNDLE_FILES file]       only the pictures and clips this file lists, one a line, each
#                               picture with its @2x and @3x twins; without it, the whole bundle
#     ART dir                   the icons: icon-192.png, icon-512.png, icon-maskable-512.png,
#                               apple-touch-icon.png (and screenshot-narrow.png, with SCREENSHOT)
#     NAME text  DESCRIPTION text  COLOR #rrggbb   the page's title, description and colour
#     [SCREENSHOT label])       a phone's screenful for the install sheet, and what it shows
set(WEB_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(add_web_program target)
  cmake_parse_arguments(WEB "" "SITE;BUNDLE;BUNDLE_FILES;ART;NAME;DESCRIPTION;COLOR;SCREENSHOT"
                        "SOURCES" ${ARGN})
  add_executable(${target} ${WEB_SOURCES})
  target_link_libraries(${target} PRIVATE EngineMain EngineWeb)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WEB_SITE} SUFFIX .js)
  add_dependencies(${target} LimitsJs)
  target_link_options(${target} PRIVATE
    "SHELL:--pre-js ${LIMITS_JS}" "SHELL:--pre-js ${WEB_SOURCE_DIR}/Loader.js"
    -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432 -sFORCE_FILESYSTEM=1
    -sEXPORTED_RUNTIME_METHODS=FS)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${LIMITS_JS} ${WEB_SOURCE_DIR}/Loader.js
    ${PROJECT_SOURCE_DIR}/Engine/Platform/Backends/Web.js)
  add_custom_target(${target}Site ALL
    COMMAND ${CMAKE_COMMAND} -DSITE=${WEB_SITE} -DSOURCE=${WEB_SOURCE_DIR}
            -DENGINE=${PROJECT_SOURCE_DIR}/Engine/Platform/Backends -DMIXER=$<TARGET_FILE:WebMixer>
            -DLIMITS=${NATIVE_BUILD}/limits.json -DNODE=${NODE}
            -DBUNDLE=${WEB_BUNDLE} -DBUNDLE_FILES=${WEB_BUNDLE_FILES} -DART=${WEB_ART}
            -DSCREENSHOT=${WEB_SCREENSHOT} -DSITE_PROGRAM=${target} -DSITE_NAME=${WEB_NAME}
            -DSITE_DESCRIPTION=${WEB_DESCRIPTION} -DSITE_COLOR=${WEB_COLOR}
            -P ${WEB_SOURCE_DIR}/Site.cmake
    VERBATIM)
  add_dependencies(${target}Site ${target} WebMixer)
endfunction()
