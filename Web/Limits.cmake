# The engine's limits as a script for the page (linked with --pre-js, before Loader.js): the
# JSON the native build printed from Engine/Limits.h, as one global.
#
# cmake -DJSON=FILE -DOUT=FILE -P Limits.cmake
file(READ ${JSON} limits)
string(STRIP "${limits}" limits)
file(WRITE ${OUT} "// Made by the build from Engine/Limits.h: change the numbers there.\nvar kEngineLimits = ${limits};\n")
