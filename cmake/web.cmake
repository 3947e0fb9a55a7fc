# The web build's pieces: zlib from Debian's source package, built here with emcc, and the
# link options of the Node commands and of the modules the page and the API load.
find_program(NPM npm)
find_program(NODE node)
if(NOT NPM OR NOT NODE)
  message(FATAL_ERROR "The web build needs node and npm: apt-get install -y nodejs npm")
endif()
# emcc runs its JavaScript optimiser with the node on the path, which finds Debian's acorn
# only when told where Debian keeps node modules.
set_property(GLOBAL PROPERTY RULE_LAUNCH_COMPILE "env NODE_PATH=/usr/share/nodejs")
set_property(GLOBAL PROPERTY RULE_LAUNCH_LINK "env NODE_PATH=/usr/share/nodejs")
# Exceptions are caught, as natively: a thread that cannot start falls back to running its
# work in turn (there are no threads here), and memory that runs out fails one file.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
# WebAssembly SIMD: the compiler vectorises where it can and the pixel loops gain their
# simd128 tier. An engine without SIMD refuses such a module whole, so the package and the
# page also carry a build without it (PALETTE_WASM_SIMD=OFF) and load the one the engine
# takes.
option(PALETTE_WASM_SIMD "Build the web commands and modules with WebAssembly SIMD" ON)
# Every engine with SIMD also has bulk memory, whose memory.copy and memory.fill give memcpy,
# memmove and memset the machine's own speed (zlib's window moves are memmove).
if(PALETTE_WASM_SIMD)
  add_compile_options(-msimd128 -mbulk-memory)
  add_link_options(-mbulk-memory)
endif()
# The page and the npm package; the build without SIMD makes only its commands and modules.
option(PALETTE_WEB_PACKAGE "Make the page and the npm package" ON)
# The tests run under Node.
set(CMAKE_CROSSCOMPILING_EMULATOR ${NODE})
set(WEB_NPM_DIR ${CMAKE_BINARY_DIR}/npm)
# The page's test drives Debian's chromium with puppeteer-core, which downloads no browser.
set(PUPPETEER_VERSION 24)
if(BUILD_TESTING)
  set(puppeteer ${WEB_NPM_DIR}/node_modules/puppeteer-core/package.json)
  if(NOT EXISTS ${puppeteer})
    execute_process(COMMAND ${NPM} install --no-audit --no-fund --prefix ${WEB_NPM_DIR}
                            puppeteer-core@${PUPPETEER_VERSION}
                    RESULT_VARIABLE npm_status)
    if(NOT npm_status EQUAL 0 OR NOT EXISTS ${puppeteer})
      message(FATAL_ERROR "npm could not fetch puppeteer-core from the registry")
    endif()
  endif()
endif()

# Debian's source package `package`, fetched once into the build folder (apt-get source needs
# a deb-src line for the suite; the README's web set-up line adds it): the version the
# native build's `dev_package` has where that source is to be had, else the suite's own.
# Sets `out` to the unpacked folder that holds `marker`, or to "" where none could be had.
function(fetch_debian_source package dev_package marker out)
  set(fetched ${CMAKE_BINARY_DIR}/${package}-source)
  file(GLOB found ${fetched}/*/${marker})
  if(NOT found)
    # One line for each architecture it is installed for (the ARM build's too): the same.
    execute_process(COMMAND dpkg-query -W -f=\${source:Version}\n ${dev_package}
                    OUTPUT_VARIABLE version ERROR_QUIET)
    string(REGEX MATCH "^[^\n]+" version "${version}")
    set(wanted ${package})
    if(version)
      set(wanted ${package}=${version} ${package})
    endif()
    file(MAKE_DIRECTORY ${fetched})
    foreach(one ${wanted})
      if(NOT found)
        execute_process(COMMAND apt-get source -qq ${one} WORKING_DIRECTORY ${fetched}
                        OUTPUT_QUIET ERROR_QUIET)
        file(GLOB found ${fetched}/*/${marker})
      endif()
    endforeach()
  endif()
  set(${out} "" PARENT_SCOPE)
  if(found)
    list(GET found 0 found)
    get_filename_component(folder ${found} DIRECTORY)
    set(${out} ${folder} PARENT_SCOPE)
  endif()
endfunction()

# zlib as the native builds have it, so that a PNG deflates to the same bytes here as on
# Linux, Windows and ARM. A security update of the suite's zlib has left the library's code
# alone so far, and the release is checked below.
set(PALETTE_ZLIB_SOURCE "" CACHE PATH "zlib's sources, unpacked (default: apt-get source zlib)")
set(ZLIB_NATIVE_VERSION 1.2.13)
if(NOT PALETTE_ZLIB_SOURCE)
  fetch_debian_source(zlib zlib1g-dev zlib.h PALETTE_ZLIB_SOURCE)
  if(NOT PALETTE_ZLIB_SOURCE)
    message(FATAL_ERROR "The web build makes zlib from Debian's source package, which "
                        "apt-get source zlib could not fetch: add a deb-src line for this "
                        "suite and apt-get install -y dpkg-dev (see the README)")
  endif()
endif()
file(STRINGS ${PALETTE_ZLIB_SOURCE}/zlib.h zlib_version REGEX "^#define ZLIB_VERSION ")
if(NOT zlib_version MATCHES "\"${ZLIB_NATIVE_VERSION}\"")
  message(FATAL_ERROR "${PALETTE_ZLIB_SOURCE} holds zlib ${zlib_version}, not the native "
                      "builds' ${ZLIB_NATIVE_VERSION}")
endif()
enable_language(C)
set(zlib_sources adler32.c compress.c crc32.c deflate.c infback.c inffast.c inflate.c
                 inftrees.c trees.c uncompr.c zutil.c)
list(TRANSFORM zlib_sources PREPEND ${PALETTE_ZLIB_SOURCE}/)
add_library(web_zlib STATIC ${zlib_sources})
target_include_directories(web_zlib SYSTEM PUBLIC ${PALETTE_ZLIB_SOURCE})
# zlib's own code, as its authors build it: its warnings are not this project's.
target_compile_options(web_zlib PRIVATE -w)
add_library(ZLIB::ZLIB ALIAS web_zlib)

# libdeflate's inflate for a stream read whole, as natively where libdeflate-dev is
# installed: the same bytes, read faster. Without its source the build inflates with zlib.
set(PALETTE_LIBDEFLATE_SOURCE "" CACHE PATH
    "libdeflate's sources, unpacked (default: apt-get source libdeflate)")
if(NOT PALETTE_LIBDEFLATE_SOURCE)
  fetch_debian_source(libdeflate libdeflate-dev libdeflate.h PALETTE_LIBDEFLATE_SOURCE)
endif()
if(PALETTE_LIBDEFLATE_SOURCE)
  set(libdeflate_sources adler32.c deflate_decompress.c utils.c zlib_decompress.c)
  list(TRANSFORM libdeflate_sources PREPEND ${PALETTE_LIBDEFLATE_SOURCE}/lib/)
  add_library(web_libdeflate STATIC ${libdeflate_sources})
  target_include_directories(web_libdeflate SYSTEM PUBLIC ${PALETTE_LIBDEFLATE_SOURCE})
  target_compile_options(web_libdeflate PRIVATE -w)
  add_library(quorl_libdeflate INTERFACE)
  target_link_libraries(quorl_libdeflate INTERFACE web_libdeflate)
  target_compile_definitions(quorl_libdeflate INTERFACE QUORL_LIBDEFLATE)
else()
  message(STATUS "Inflating with zlib alone: apt-get source libdeflate could not fetch it")
endif()

# npm wants three numbers.
set(NPM_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0)

# At most 2 GB: past 2^31 this emscripten's file reads never return (a 2,147,482,623-byte
# input hung palette-batch), where within it the largest inputs fail for want of memory.
set(WEB_COMMON_OPTIONS -sSINGLE_FILE=1 -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=2GB
                       -sTOTAL_STACK=1MB)

# A command for Node: the real file system, the process's arguments, its exit status.
function(web_command name)
  target_link_options(${name} PRIVATE ${WEB_COMMON_OPTIONS} -sNODERAWFS=1 -sENVIRONMENT=node
                                      -sEXIT_RUNTIME=1)
endfunction()

# The same command as a module that a page, a worker or the API creates and runs in
# memory as often as it likes: files in its own memory file system, output by callback.
function(web_module name export)
  add_executable(${name}-module ${ARGN})
  target_link_libraries(${name}-module PRIVATE project_warnings)
  target_link_options(${name}-module PRIVATE ${WEB_COMMON_OPTIONS} -sMODULARIZE=1
                      -sEXPORT_NAME=${export} -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
                      -sFORCE_FILESYSTEM=1 -sENVIRONMENT=web,worker,node
                      "-sEXPORTED_RUNTIME_METHODS=['callMain','FS','stackSave','stackRestore']")
endfunction()
