# Lays out the site beside the linked program (cmake -P, after each link): the page, its
# manifest and icons, the audio worklet's script, the bundle's pictures and clips in one pack
# (bundle.pack, made by pack.mjs, read by Loader.js), and the service worker with every file to
# cache and a version that changes whenever any file does.
#
# cmake -DSITE=DIR -DSOURCE=DIR -DENGINE=DIR -DBUNDLE=DIR -DART=DIR -DLIMITS=FILE -DNODE=EXE
#       -P Site.cmake
foreach(file index.html manifest.webmanifest)
  file(COPY ${SOURCE}/${file} DESTINATION ${SITE})
endforeach()
file(COPY ${ENGINE}/WebMixer.js DESTINATION ${SITE})  # the audio thread's side of the backend
foreach(art icon-192.png icon-512.png icon-maskable-512.png apple-touch-icon.png screenshot-narrow.png)
  configure_file(${ART}/${art} ${SITE}/${art} COPYONLY)
endforeach()

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
