# Lays out the site beside the linked program (cmake -P, after each link): the page, its
# manifest and icons, the audio worklet's script, the bundle's pictures and clips with their
# list (bundle.json, read by Loader.js), and the service worker with every file to cache and a
# version that changes whenever any file does.
#
# cmake -DSITE=DIR -DSOURCE=DIR -DENGINE=DIR -DBUNDLE=DIR -DICONS=DIR -P Site.cmake
foreach(file index.html manifest.webmanifest)
  file(COPY ${SOURCE}/${file} DESTINATION ${SITE})
endforeach()
file(COPY ${ENGINE}/WebMixer.js DESTINATION ${SITE})  # the audio thread's side of the backend
foreach(side 192 512)
  configure_file(${ICONS}/${side}x${side}/apps/soundboard.png ${SITE}/icon-${side}.png COPYONLY)
endforeach()

file(GLOB_RECURSE bundle RELATIVE ${BUNDLE} ${BUNDLE}/*.png ${BUNDLE}/*.wav)
list(SORT bundle)
set(names "")
foreach(file ${bundle})
  configure_file(${BUNDLE}/${file} ${SITE}/${file} COPYONLY)
  list(APPEND names "\"${file}\"")
endforeach()
list(JOIN names ",\n  " names)
file(WRITE ${SITE}/bundle.json "{\"files\": [\n  ${names}\n]}\n")

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
