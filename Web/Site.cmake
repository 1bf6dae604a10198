# Lays out a program's site beside the linked program (cmake -P, after each link): the page, its
# manifest and icons, the audio worklet's script, the bundle's pictures and clips in one pack
# (bundle.pack, made by pack.mjs, read by Loader.js), and the service worker with every file to
# cache and a version that changes whenever any file does. add_web_program (WebProgram.cmake)
# runs it.
#
# cmake -DSITE=DIR -DSOURCE=DIR -DENGINE=DIR -DMIXER=WASM -DBUNDLE=DIR [-DBUNDLE_FILES=LIST_FILE] -DART=DIR
#       [-DSCREENSHOT=LABEL] -DLIMITS=FILE -DNODE=EXE -DSITE_PROGRAM=NAME -DSITE_NAME=TEXT
#       -DSITE_DESCRIPTION=TEXT -DSITE_COLOR=#RRGGBB -P Site.cmake
set(SITE_SCREENSHOTS "")
set(art icon-192.png icon-512.png icon-maskable-512.png apple-touch-icon.png)
if(SCREENSHOT)  # a phone's screenful, for the install sheet
  list(APPEND art screenshot-narrow.png)
  set(SITE_SCREENSHOTS ",\n  \"screenshots\": [\n    {\"src\": \"screenshot-narrow.png\", \"sizes\": \"1080x2340\", \"type\": \"image/png\",\n     \"form_factor\": \"narrow\", \"label\": \"${SCREENSHOT}\"}\n  ]")
endif()
foreach(file index.html manifest.webmanifest)
  configure_file(${SOURCE}/${file}.in ${SITE}/${file} @ONLY)
endforeach()
# The audio thread's side of the backend: its script and its mixer.
file(COPY ${ENGINE}/WebMixer.js DESTINATION ${SITE})
configure_file(${MIXER} ${SITE}/WebMixer.wasm COPYONLY)
foreach(file ${art})
  configure_file(${ART}/${file} ${SITE}/${file} COPYONLY)
endforeach()

# A program that takes only some of the bundle's files: those, each picture with its twins.
if(BUNDLE_FILES)
  set(stage ${SITE}.bundle)
  file(REMOVE_RECURSE ${stage})
  file(STRINGS ${BUNDLE_FILES} wanted REGEX "^[^#]")
  foreach(file ${wanted})
    get_filename_component(folder ${file} DIRECTORY)
    string(REGEX REPLACE "\\.png$" "" stem ${file})
    file(GLOB twins ${BUNDLE}/${stem}@[23]x.png)
    file(COPY ${BUNDLE}/${file} ${twins} DESTINATION ${stage}/${folder})
  endforeach()
  set(BUNDLE ${stage})
endif()

# The pack replaces the bundle's own files and their list, which an older build laid out here.
file(GLOB_RECURSE stale RELATIVE ${SITE} ${SITE}/*.png ${SITE}/*.wav ${SITE}/bundle.json)
list(FILTER stale EXCLUDE REGEX "^(icon-|apple-touch-icon|screenshot-)")
foreach(file ${stale})
  file(REMOVE ${SITE}/${file})
endforeach()
execute_process(COMMAND ${NODE} ${SOURCE}/pack.mjs ${BUNDLE} ${SITE} ${LIMITS} RESULT_VARIABLE packed)
if(NOT packed EQUAL 0)
  message(FATAL_ERROR "cannot pack the bundle into ${SITE}/bundle.pack")
endif()

file(GLOB_RECURSE site RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM site sw.js)
list(SORT site)
set(files "\"./\"")
set(hashes "")
foreach(file ${site})
  file(SHA256 ${SITE}/${file} hash)
  string(APPEND hashes ${hash})
  string(APPEND files ", \"${file}\"")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING ${version} 0 16 SITE_VERSION)
set(SITE_FILES "[${files}]")
configure_file(${SOURCE}/sw.js.in ${SITE}/sw.js @ONLY)
