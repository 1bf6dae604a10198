# add_web_program: a program on the engine, with its bundle, as a site of its own for a phone's
# browser, laid out as the soundboard's by Web/site.mjs: the page, its manifest and icons, the
# program and the audio thread's mixer, the pictures in one pack per screen density, the clips
# one file each, and the offline copy's worker. In a build made with emcmake (make web).
#
#   add_web_program(TARGET SOURCES file...
#     SITE dir                  where the site goes, under the build
#     BUNDLE dir                the native build's bundle (its bin/)
#     [BUNDLE_FILES file]       only the pictures and clips this file lists, one a line, each
#                               picture with its @2x and @3x twins; without it, the whole bundle
#     ART dir                   the icons: icon-192.png, icon-512.png, icon-maskable-512.png,
#                               apple-touch-icon.png (and screenshot-narrow.png, with SCREENSHOT)
#     NAME text  DESCRIPTION text  COLOR #rrggbb   the page's title (the program's name
#                               wherever the browser shows one), description and colour
#     [SCREENSHOT label])       a phone's screenful for the install sheet, and what it shows
set(WEB_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

function(add_web_program target)
  cmake_parse_arguments(WEB "" "SITE;BUNDLE;BUNDLE_FILES;ART;NAME;DESCRIPTION;COLOR;SCREENSHOT"
                        "SOURCES" ${ARGN})
  add_executable(${target} ${WEB_SOURCES})
  target_link_libraries(${target} PRIVATE EngineMain EngineWeb)
  set(staging ${CMAKE_CURRENT_BINARY_DIR}/${target}.program)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${staging} SUFFIX .js)
  target_link_options(${target} PRIVATE
    "SHELL:--pre-js ${WEB_SOURCE_DIR}/Loader.js"
    -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sFILESYSTEM=0)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${WEB_SOURCE_DIR}/Loader.js
    ${PROJECT_SOURCE_DIR}/Engine/Platform/Backends/Web.js)
  set(files "")
  if(WEB_BUNDLE_FILES)
    set(files --files ${WEB_BUNDLE_FILES})
  endif()
  set(screenshot "")
  if(WEB_SCREENSHOT)
    set(screenshot --screenshot ${WEB_SCREENSHOT})
  endif()
  add_custom_target(${target}Site ALL
    COMMAND ${NODE} ${WEB_SOURCE_DIR}/site.mjs --site ${WEB_SITE} --program ${target}
            --build ${staging} --mixer $<TARGET_FILE:WebMixer>
            --engine ${PROJECT_SOURCE_DIR}/Engine/Platform/Backends --bundle ${WEB_BUNDLE} ${files}
            --art ${WEB_ART} --limits ${NATIVE_BUILD}/limits.json --name ${WEB_NAME}
            --description ${WEB_DESCRIPTION} --color ${WEB_COLOR} ${screenshot}
    VERBATIM)
  add_dependencies(${target}Site ${target} WebMixer)
endfunction()
